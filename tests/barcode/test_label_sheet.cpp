#include "barcode/Barcode.h"
#include "barcode/LabelSheet.h"
#include "barcode/ScanLine.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

QStringList numbersFrom(int first, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QString::number(first + i);
    return lines;
}

// Pages that printing lines onto a real PDF document gives.
int printedPages(const QStringList& lines, const LabelLayout& layout = {})
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    writer.setResolution(600);
    QPainter painter(&writer);
    int pages = 1;
    printLabelSheets(
        painter,
        [&] {
            writer.newPage();
            ++pages;
        },
        lines, layout);
    return pages;
}

// A page image at 600 dots per inch, as a printer draws it.
QImage printerPage(int width, int height)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.setDotsPerMeterX(23622);
    page.setDotsPerMeterY(23622);
    page.fill(Qt::white);
    return page;
}

bool isBlack(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

// The bars of number, one flag per module.
std::vector<bool> modules(const QByteArray& number)
{
    BARCODE& barcode = BARCODE::instance();
    barcode.Encode(number);
    std::vector<bool> flags;
    for (int x = 0; x < barcode.bitmap.width(); ++x)
        flags.push_back(barcode.bitmap.pixelIndex(x, 0) == 1);
    return flags;
}

// Two labels side by side, 810 x 60 dots each, so that every module of an
// 8-digit number is exactly 10 dots wide.
LabelLayout exactLayout()
{
    LabelLayout layout;
    layout.width = 108;  // 810 dots
    layout.height = 8;   // 60 dots
    layout.topMargin = 0;
    layout.leftMargin = 0;
    layout.horizontalPitch = 120; // 900 dots
    layout.verticalPitch = 10;
    layout.columns = 2;
    layout.rows = 1;
    layout.includeNumber = false;
    return layout;
}

TEST(LabelNumbers, PaddingAndWhatCanBeEncoded)
{
    EXPECT_EQ(paddedNumber(QStringLiteral("1234")), QByteArray("00001234"));
    EXPECT_EQ(paddedNumber(QString()), QByteArray("00000000"));
    EXPECT_EQ(paddedNumber(QStringLiteral("12345678")), QByteArray("12345678"));
    EXPECT_EQ(paddedNumber(QStringLiteral("123456789")), QByteArray("0123456789")) << "odd: a 0 in front, never behind";
    EXPECT_EQ(paddedNumber(QStringLiteral("1234567890")), QByteArray("1234567890"));

    EXPECT_EQ(numberFault(QString()), QString());
    EXPECT_EQ(numberFault(QString(198, QLatin1Char('9'))), QString()) << "the longest that is encoded";
    EXPECT_EQ(numberFault(QString(199, QLatin1Char('9'))), QStringLiteral("has 199 digits, and at most 198 can be encoded"));
    EXPECT_EQ(numberFault(QStringLiteral("12a4")),
              QStringLiteral("holds \"a\" at position 3, and only the digits 0 to 9 can be encoded"));
    EXPECT_EQ(numberFault(QStringLiteral("123 ")),
              QStringLiteral("holds a blank at position 4, and only the digits 0 to 9 can be encoded"));
    EXPECT_EQ(numberFault(QStringLiteral("-1")),
              QStringLiteral("holds \"-\" at position 1, and only the digits 0 to 9 can be encoded"));
    // Positions count characters, and digits of other scripts are not ours.
    EXPECT_EQ(numberFault(QString::fromUtf8("\xC3\xA9" "1\xD9\xA1")),
              QString::fromUtf8("holds \"\xC3\xA9\" at position 1, and only the digits 0 to 9 can be encoded"));
    EXPECT_EQ(numberFault(QString::fromUtf8("1\xD9\xA1")),
              QString::fromUtf8("holds \"\xD9\xA1\" at position 2, and only the digits 0 to 9 can be encoded"));
}

TEST(LabelNumbers, ListLines)
{
    EXPECT_EQ(numberLines(QString()), QStringList());
    EXPECT_EQ(numberLines(QStringLiteral("1\n2")), (QStringList{"1", "2"}));
    EXPECT_EQ(numberLines(QStringLiteral("1\n2\n")), (QStringList{"1", "2"})) << "a final empty line is not counted";
    EXPECT_EQ(numberLines(QStringLiteral("1\n\n2\n\n")), (QStringList{"1", "", "2", ""}));

    EXPECT_NO_THROW(checkNumberLines({"1", "", "2"}));
    try {
        checkNumberLines({"1", "2", "3x"});
        FAIL() << "a bad line was accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Line 3 of the list, \"3x\", holds \"x\" at position 2, and only the "
                                              "digits 0 to 9 can be encoded. Nothing was printed."));
    }
}

TEST(LabelSheet, PagesFollowTheLabelsPerPage)
{
    // 65 labels a page with the defaults.
    EXPECT_EQ(printedPages({}), 1) << "an empty list still prints one empty page";
    EXPECT_EQ(printedPages(numbersFrom(1, 1)), 1);
    EXPECT_EQ(printedPages(numbersFrom(1, 65)), 1);
    EXPECT_EQ(printedPages(numbersFrom(1, 66)), 2);
    EXPECT_EQ(printedPages(numbersFrom(1, 130)), 2);
    EXPECT_EQ(printedPages(numbersFrom(1, 131)), 3);

    LabelLayout single;
    single.columns = 1;
    single.rows = 1;
    EXPECT_EQ(printedPages(numbersFrom(1, 4), single), 4);
}

TEST(LabelSheet, RefusesBeforeDrawingAnything)
{
    QImage page = printerPage(1800, 60);
    const QImage blank = page;
    int newPages = 0;
    const auto newPage = [&] { ++newPages; };
    {
        QPainter painter(&page);
        // One page of labels, then a bad line on the next: nothing at all
        // may be drawn, not even the good labels before it.
        QStringList lines = numbersFrom(1, 3);
        lines << QStringLiteral("12.5");
        EXPECT_THROW(printLabelSheets(painter, newPage, lines, exactLayout()), Exception);
        EXPECT_THROW(printLabelSheets(painter, newPage, {QString(199, QLatin1Char('1'))}, exactLayout()), Exception);

        LabelLayout noColumns = exactLayout();
        noColumns.columns = 0;
        EXPECT_THROW(printLabelSheets(painter, newPage, {"1"}, noColumns), Exception);
        LabelLayout noRows = exactLayout();
        noRows.rows = 0;
        EXPECT_THROW(printLabelSheets(painter, newPage, {"1"}, noRows), Exception);
    }
    EXPECT_EQ(newPages, 0);
    EXPECT_TRUE(page == blank);
}

TEST(LabelSheet, AFailingNewPageStopsTheSheet)
{
    // The window aborts the print document on whatever newPage throws.
    QImage page = printerPage(1800, 60);
    QPainter painter(&page);
    int newPages = 0;
    EXPECT_THROW(printLabelSheets(
                     painter,
                     [&] {
                         ++newPages;
                         throw Exception(QStringLiteral("out of paper"));
                     },
                     numbersFrom(1, 5), exactLayout()),
                 Exception);
    EXPECT_EQ(newPages, 1) << "nothing more is drawn after the failure";
}

TEST(LabelSheet, EachBarcodeIsStretchedIntoItsRectangle)
{
    QImage page = printerPage(1800, 60);
    {
        QPainter painter(&page);
        printLabelSheets(painter, [] {}, {"1234", ""}, exactLayout());
    }
    const std::vector<bool> first = modules("00001234");
    const std::vector<bool> second = modules("00000000");
    ASSERT_EQ(first.size(), 81u);
    for (int m = 0; m < 81; ++m) {
        for (const int y : {0, 30, 59}) {
            // Both edges of each module, where a stretch that is off by one
            // dot would show.
            EXPECT_EQ(isBlack(page, 10 * m, y), first[m]) << "label 0, module " << m << ", row " << y;
            EXPECT_EQ(isBlack(page, 10 * m + 9, y), first[m]) << "label 0, module " << m << ", row " << y;
            EXPECT_EQ(isBlack(page, 900 + 10 * m + 5, y), second[m]) << "label 1, module " << m << ", row " << y;
        }
    }
    for (int x = 810; x < 900; ++x)
        ASSERT_FALSE(isBlack(page, x, 30)) << "between the labels at " << x;
}

// The rows of page from top to bottom that a reader's line crosses: those
// at the top read only what withoutText holds (the labels printed without
// a number), those below read every label, in order. Returns how many rows
// read as the first kind, with the dark pixels found in them left of
// textRight.
struct Band {
    int rows = 0;
    int textPixels = 0;
};
Band numberBand(const QImage& page, int top, int bottom, int textRight, const QStringList& withoutText,
                const QStringList& all)
{
    Band band;
    for (int y = top; y < bottom; ++y) {
        const QStringList read = ScanLine::read(page, y);
        if (y == top + band.rows && read == withoutText) {
            ++band.rows;
            for (int x = 0; x < textRight; ++x)
                band.textPixels += isBlack(page, x, y);
        } else {
            EXPECT_EQ(read, all) << "row " << y;
        }
    }
    return band;
}

TEST(LabelSheet, EveryLineAcrossALabelReadsItsWholeNumberOrNothing)
{
    // The default labels, 750 x 375 dots from (60, 262), 960 dots apart.
    LabelLayout layout;
    layout.columns = 4;
    QImage page = printerPage(3900, 700);
    {
        QPainter painter(&page);
        printLabelSheets(painter, [] {}, {"364", "465", "123456789", ""}, layout);
    }
    // The number runs in a white band across the label's top; below it the
    // bars are whole, and the 9-digit label reads as the athlete's number.
    // (With the number over the first bars, lines through it read 88000364
    // and 09000465: the bars after the number, taken for a whole symbol.)
    const Band band = numberBand(page, 262, 637, 2900, {"00000000"}, {"00000364", "00000465", "0123456789", "00000000"});
    EXPECT_GT(band.rows, 40) << "room for 10 points at 600 dots per inch";
    EXPECT_LE(band.rows, 375 / 2);
    EXPECT_GT(band.textPixels, 1000) << "the numbers were not drawn";
    EXPECT_FALSE(isBlack(page, 60 + 700, 262)) << "the band runs the label's full width";

    // A label too low for the font: the number is drawn smaller, and the
    // bars keep at least half the label.
    layout.height = 20; // 150 dots
    layout.columns = 1;
    page = printerPage(1000, 500);
    {
        QPainter painter(&page);
        printLabelSheets(painter, [] {}, {"254"}, layout);
    }
    const Band low = numberBand(page, 262, 412, 1000, {}, {"00000254"});
    EXPECT_LE(low.rows, 75);
    EXPECT_GT(low.textPixels, 100);
}

// A second opinion, where zbarimg is installed: it reads the printed labels
// along every line and must find each label's own number and nothing else.
// (With the number over the first bars it read 88000254 and 09000235 too.)
TEST(LabelSheet, ZbarReadsOnlyEachLabelsOwnNumber)
{
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty())
        GTEST_SKIP() << "zbarimg is not installed";
    LabelLayout layout;
    layout.columns = 3;
    QImage page = printerPage(2900, 700);
    {
        QPainter painter(&page);
        printLabelSheets(painter, [] {}, {"254", "235", "123456789"}, layout);
    }
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("labels.png"));
    ASSERT_TRUE(page.save(png));
    QProcess zbar;
    zbar.start(zbarimg, {QStringLiteral("--quiet"), png});
    ASSERT_TRUE(zbar.waitForFinished(60000));
    QStringList found = QString::fromLatin1(zbar.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    found.sort();
    EXPECT_EQ(found, (QStringList{"I2/5:00000235", "I2/5:00000254", "I2/5:0123456789"}));
}

} // namespace
