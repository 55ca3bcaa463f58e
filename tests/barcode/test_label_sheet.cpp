#include "barcode/Barcode.h"
#include "barcode/LabelSheet.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

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
    EXPECT_EQ(paddedNumber(QStringLiteral("123456789")), QByteArray("123456789")) << "never cut or padded further";

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

TEST(LabelSheet, NumberTextOverTheTopLeftCorner)
{
    LabelLayout layout = exactLayout();
    layout.height = 20; // 150 dots, room for 10 points at 600 dots per inch
    layout.includeNumber = true;
    QImage page = printerPage(1800, 150);
    {
        QPainter painter(&page);
        printLabelSheets(painter, [] {}, {"1234", ""}, layout);
    }
    // The start bar (module 0) is black over the whole height; the text's
    // white background covers its top, the bottom rows still show bars.
    EXPECT_FALSE(isBlack(page, 2, 1)) << "opaque white behind the text";
    EXPECT_TRUE(isBlack(page, 5, 149));
    // Dark pixels where the bars have spaces can only be the text.
    const std::vector<bool> bars = modules("00001234");
    int textPixels = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x)
            textPixels += isBlack(page, x, y) && !bars[std::size_t(x / 10)];
    EXPECT_GT(textPixels, 50) << "the text 1234 was not drawn";
    EXPECT_TRUE(isBlack(page, 905, 1)) << "an empty line gets no text";
}

} // namespace
