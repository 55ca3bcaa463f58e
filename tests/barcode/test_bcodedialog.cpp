#include "barcode/Barcode.h"
#include "barcode/Bcodedialog.h"
#include "barcode/ScanLine.h"
#include "shell/RecordingUiServices.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "support/SqlProbes.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

namespace {

class BarcodeWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        settingsFile = dir.filePath(QStringLiteral("VEXO_BARCODE.ini"));
        form = std::make_unique<TbcodeForm>(settingsFile);
        form->show();
    }

    // The bars of number as the encoder draws them, in the picture's format.
    static QImage bars(const QByteArray& number)
    {
        BARCODE::instance().Encode(number);
        return BARCODE::instance().bitmap.convertToFormat(QImage::Format_RGB32);
    }

    void display(const QString& number, bool withText)
    {
        form->edtNumber->setText(number);
        form->cbNumber->setChecked(withText);
        form->btnDisplayBarcode->click();
    }

    // Sends the next print to a PDF file and answers the print dialog.
    QString printToPdf(bool accept = true)
    {
        const QString pdf = dir.filePath(QStringLiteral("labels.pdf"));
        QFile::remove(pdf);
        ui.preparePrinter = [pdf](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
        ui.printAnswers.enqueue(accept);
        form->btnPrintMemo->click();
        return pdf;
    }

    static int pdfPages(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        const QString text = QString::fromLatin1(file.readAll());
        return int(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"))));
    }

    static QStringList numbersFrom(int first, int count)
    {
        QStringList lines;
        for (int i = 0; i < count; ++i)
            lines << QString::number(first + i);
        return lines;
    }

    QByteArray settingsText()
    {
        QFile file(settingsFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    RecordingUiServices ui;
    QTemporaryDir dir;
    QString settingsFile;
    std::unique_ptr<TbcodeForm> form;
};

TEST_F(BarcodeWindowTest, ShowsSettingsBlankPictureAndCount)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("VEXO Interleaved 2 of 5 Barcode Generator"));
    EXPECT_EQ(form->edtHeight->text(), QStringLiteral("50"));
    EXPECT_EQ(form->edtVerticalCount->text(), QStringLiteral("13"));
    EXPECT_TRUE(form->cbNumber->isChecked());
    EXPECT_EQ(form->edtNumber->text(), QStringLiteral("1234567890"));

    ASSERT_EQ(form->picture().size(), QSize(250, 50));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 250; ++x)
            ASSERT_EQ(form->picture().pixel(x, y), qRgb(255, 255, 255));
    EXPECT_EQ(form->lblCount->text(), QStringLiteral("Count: 0"));

    form->meNumbers->setPlainText(QStringLiteral("11\n\n13\n"));
    EXPECT_EQ(form->lblCount->text(), QStringLiteral("Count: 3")) << "a final empty line is not counted";
}

TEST_F(BarcodeWindowTest, NineDigitsScanAsTheAthletesOwnNumberAndTheTextAsNothing)
{
    display(QStringLiteral("123456789"), false);
    EXPECT_EQ(form->picture(), bars("0123456789"));
    EXPECT_EQ(form->Image1->size(), QSize(99, 50));
    EXPECT_EQ(ScanLine::read(form->picture(), 25), QStringList{QStringLiteral("0123456789")});

    // With the number: a white band across the whole picture holds the text,
    // a quarter of the height at most; every line below it crosses the
    // whole symbol, and a line through the text reads nothing.
    display(QStringLiteral("123456789"), true);
    const QImage labelled = form->picture();
    ASSERT_EQ(labelled.size(), QSize(99, 50));
    const QImage plainRow = bars("0123456789").copy(0, 0, 99, 1);
    int band = 0;
    while (band < 50 && labelled.copy(0, band, 99, 1) != plainRow)
        ++band;
    EXPECT_GT(band, 5);
    EXPECT_LE(band, 12);
    int textPixels = 0;
    for (int y = 0; y < 50; ++y) {
        if (y < band) {
            EXPECT_EQ(ScanLine::read(labelled, y), QStringList()) << "row " << y << " through the number";
            for (int x = 0; x < 99; ++x)
                textPixels += qGray(labelled.pixel(x, y)) < 128;
        } else {
            EXPECT_EQ(labelled.copy(0, y, 99, 1), plainRow) << "row " << y << " of the bars";
        }
    }
    EXPECT_GT(textPixels, 30) << "the text 123456789 was not drawn";
    // Nine digits reach far past what one digit does, whatever font
    // stands in for Arial.
    const auto rightmostText = [](const QImage& picture, int rows) {
        int rightmost = -1;
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (qGray(picture.pixel(x, y)) < 128)
                    rightmost = std::max(rightmost, x);
        return rightmost;
    };
    const int nine = rightmostText(labelled, band);
    display(QStringLiteral("1"), true);
    const int one = rightmostText(form->picture(), band);
    EXPECT_GT(one, 0);
    EXPECT_GE(nine, 6 * (one + 1));
}

TEST_F(BarcodeWindowTest, ShortNumbersArePaddedToEightDigits)
{
    display(QStringLiteral("1234"), false);
    EXPECT_EQ(form->picture(), bars("00001234"));
    EXPECT_EQ(form->picture().size(), QSize(81, 50));

    display(QStringLiteral("1234"), true);
    const QImage plain = bars("00001234");
    EXPECT_EQ(form->picture().copy(0, 12, 81, 38), plain.copy(0, 12, 81, 38));
    EXPECT_NE(form->picture().copy(0, 0, 81, 12), plain.copy(0, 0, 81, 12)) << "the text 1234 is above the bars";

    display(QString(), true);
    EXPECT_EQ(form->picture(), bars("00000000")) << "an empty box has no text to draw";
}

TEST_F(BarcodeWindowTest, BadBoxesStopTheDisplay)
{
    display(QStringLiteral("1234"), false);
    const QImage before = form->picture();

    form->edtWidth->setText(QStringLiteral("1O0"));
    display(QStringLiteral("5678"), false);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("Barcode Width: ''1O0'' is not a valid integer value"));
    EXPECT_EQ(form->picture(), before);

    form->edtWidth->setText(QStringLiteral("100"));
    display(QStringLiteral("12a4"), false);
    ASSERT_EQ(ui.errors.size(), 2);
    EXPECT_EQ(ui.errors[1], QStringLiteral("Barcode Number \"12a4\" holds \"a\" at position 3, and only the "
                                           "digits 0 to 9 can be encoded."));
    EXPECT_EQ(form->picture(), before);
}

TEST_F(BarcodeWindowTest, ShowingAgainKeepsTheDisplayedBarcodeWhole)
{
    display(QStringLiteral("1234"), false);
    form->btnCancel->click();
    form->show();
    EXPECT_EQ(form->picture(), bars("00001234"));
}

TEST_F(BarcodeWindowTest, CopiesThePictureToTheClipboard)
{
    display(QStringLiteral("1234"), true);
    form->btnCopyToClipboard->click();
    const QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32), form->picture());
}

TEST_F(BarcodeWindowTest, OkSavesOnlyTheLabelLayoutAndCancelForgets)
{
    form->edtHeight->setText(QStringLiteral("60"));
    form->cbNumber->setChecked(false);
    form->edtVerticalCount->setText(QStringLiteral("0x0C"));

    // The main window changes a port setting after this window read the file.
    {
        CONFIG other(settingsFile);
        other.port = 3;
        other.save(ConfigSections::Coms);
    }
    form->btnExit->click();
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(form->isVisible());
    {
        const CONFIG stored(settingsFile);
        EXPECT_EQ(stored.bcHeight, 60);
        EXPECT_FALSE(stored.bcIncludeNumber);
        EXPECT_EQ(stored.bcRows, 12);
        EXPECT_EQ(stored.port, 3) << "the port setting written in between survives";
    }

    form->show();
    EXPECT_EQ(form->edtVerticalCount->text(), QStringLiteral("12"));
    form->edtHeight->setText(QStringLiteral("70"));
    form->btnCancel->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(CONFIG(settingsFile).bcHeight, 60);
    form->show();
    EXPECT_EQ(form->edtHeight->text(), QStringLiteral("60")) << "edits not confirmed with OK are lost";
    EXPECT_FALSE(form->cbNumber->isChecked());
}

TEST_F(BarcodeWindowTest, OkWithABadBoxWritesNothingAndStaysOpen)
{
    const QByteArray before = settingsText();
    form->edtHeight->setText(QStringLiteral("55"));
    form->edtTop->setText(QStringLiteral("4.5"));
    form->edtLeft->setText(QStringLiteral("9"));
    form->btnExit->click();

    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("Top Margin: ''4.5'' is not a valid integer value"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(settingsText(), before);
    // The boxes before the bad one are already taken; the next showing
    // shows them, and not the one after it.
    form->btnCancel->click();
    form->show();
    EXPECT_EQ(form->edtHeight->text(), QStringLiteral("55"));
    EXPECT_EQ(form->edtLeft->text(), QStringLiteral("8"));
}

TEST_F(BarcodeWindowTest, PrintsEveryLabelOnAsManyPagesAsNeeded)
{
    form->meNumbers->setPlainText(numbersFrom(1000, 130).join(QLatin1Char('\n')));
    EXPECT_EQ(pdfPages(printToPdf()), 2);

    form->meNumbers->setPlainText(numbersFrom(1000, 131).join(QLatin1Char('\n')) + QLatin1Char('\n'));
    // A page range chosen in the print dialog does not drop labels.
    const QString pdf = dir.filePath(QStringLiteral("labels.pdf"));
    ui.preparePrinter = [pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 2);
    };
    ui.printAnswers.enqueue(true);
    form->btnPrintMemo->click();
    EXPECT_EQ(pdfPages(pdf), 3);

    form->meNumbers->clear();
    EXPECT_EQ(pdfPages(printToPdf()), 1) << "an empty list prints one empty page";
    form->meNumbers->setPlainText(QStringLiteral("7"));
    EXPECT_EQ(pdfPages(printToPdf()), 1);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(ui.printDialogs, 4);
    // Each print ends with a word of what it printed.
    EXPECT_EQ(ui.notices, (QStringList{QStringLiteral("Printed 130 labels on 2 pages"),
                                       QStringLiteral("Printed 131 labels on 3 pages"),
                                       QStringLiteral("Printed no labels: the list of numbers is empty"),
                                       QStringLiteral("Printed 1 label on 1 page")}));
}

TEST_F(BarcodeWindowTest, CancelledPrintDialogPrintsNothing)
{
    form->meNumbers->setPlainText(QStringLiteral("1\n2"));
    EXPECT_FALSE(QFile::exists(printToPdf(false)));
    EXPECT_EQ(ui.printDialogs, 1);
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(ui.notices.isEmpty());
}

TEST_F(BarcodeWindowTest, RefusesBeforeThePrintDialog)
{
    form->meNumbers->setPlainText(QStringLiteral("101\n1O2\n103"));
    EXPECT_FALSE(QFile::exists(printToPdf()));
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], QStringLiteral("Line 2 of the list, \"1O2\", holds \"O\" at position 2, and only the "
                                           "digits 0 to 9 can be encoded. Nothing was printed."));

    form->meNumbers->setPlainText(QStringLiteral("101"));
    form->edtHorizontalCount->setText(QStringLiteral("0"));
    EXPECT_FALSE(QFile::exists(printToPdf()));
    ASSERT_EQ(ui.errors.size(), 2);
    EXPECT_EQ(ui.errors[1], QStringLiteral("Barcodes Across Page must be at least 1, not 0"));

    form->edtHorizontalCount->setText(QStringLiteral("5"));
    form->edtVertical->setText(QStringLiteral("sixty"));
    EXPECT_FALSE(QFile::exists(printToPdf()));
    ASSERT_EQ(ui.errors.size(), 3);
    EXPECT_EQ(ui.errors[2], QStringLiteral("Vertical Pitch: ''sixty'' is not a valid integer value"));
    EXPECT_EQ(ui.printDialogs, 0);
}

TEST_F(BarcodeWindowTest, PrinterThatCannotBeginIsReported)
{
    form->meNumbers->setPlainText(QStringLiteral("101"));
    const QString pdf = dir.filePath(QStringLiteral("no such folder/labels.pdf"));
    ui.preparePrinter = [pdf](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    };
    ui.printAnswers.enqueue(true);
    form->btnPrintMemo->click();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("could not begin printing; nothing was printed")))
        << ui.errors[0].toStdString();
}

class BarcodeWindowAthletesTest : public BarcodeWindowTest {
protected:
    void SetUp() override
    {
        BarcodeWindowTest::SetUp();
        db = std::make_unique<Database>(dir.path());
        for (const char* row : {"(105, 'Ann', 'Smith', 12, 'Blue', 'F')", "(101, 'Bob', 'Smith', 13, 'Red', 'M')",
                                "(110, 'Cy', 'Adams', 12, 'Red', 'M')", "(102, 'Di', 'Brown', 14, 'Blue', 'F')",
                                "(103, 'Ed', 'Smithers', 12, 'Blue', 'M')"}) {
            sqlprobe::exec(db->connection(), QStringLiteral("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES ") + QString::fromLatin1(row));
        }
        athletes = std::make_unique<DataSet>(*db, "athletes");
        athletes->setIndexName("Surname");
        athletes->Open();
        form->hide();
    }

    void TearDown() override
    {
        athletes.reset();
        db.reset();
    }

    std::unique_ptr<Database> db;
    std::unique_ptr<DataSet> athletes;
};

TEST_F(BarcodeWindowAthletesTest, ListHoldsTheShownAthletesInTheirOrder)
{
    form->meNumbers->setPlainText(QStringLiteral("999"));
    athletes->setFilter(QStringLiteral("surname = 'Smith*'"));
    athletes->setFiltered(true);
    athletes->Last();

    form->ShowForAthletes(*athletes);
    EXPECT_EQ(form->meNumbers->toPlainText(), QStringLiteral("105\n101\n103"));
    EXPECT_EQ(form->lblCount->text(), QStringLiteral("Count: 3"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(athletes->RecNo(), 0);
    EXPECT_EQ(athletes->FieldByName("number").AsInteger(), 105);

    athletes->setFiltered(false);
    form->ShowForAthletes(*athletes);
    EXPECT_EQ(form->numbers(), (QStringList{"110", "102", "105", "101", "103"})) << "no filter: every athlete";
}

TEST_F(BarcodeWindowAthletesTest, NoShownAthleteKeepsTheList)
{
    form->meNumbers->setPlainText(QStringLiteral("7\n8"));
    athletes->setFilter(QStringLiteral("surname = 'Nobody'"));
    athletes->setFiltered(true);

    form->ShowForAthletes(*athletes);
    EXPECT_EQ(form->meNumbers->toPlainText(), QStringLiteral("7\n8"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->lblCount->text(), QStringLiteral("Count: 2"));
}

} // namespace
