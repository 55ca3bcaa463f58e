#include "barcode/Barcode.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

namespace {

// The columns of the bitmap as module flags, "1" for a black column. A
// column counts only when every one of its pixels agrees.
QByteArray modules(const QImage& bitmap)
{
    QByteArray result;
    for (int x = 0; x < bitmap.width(); ++x) {
        const bool black = bitmap.pixelIndex(x, 0) == 1;
        for (int y = 1; y < bitmap.height(); ++y) {
            if ((bitmap.pixelIndex(x, y) == 1) != black)
                return "column " + QByteArray::number(x) + " is not one colour";
        }
        result += black ? '1' : '0';
    }
    return result;
}

// Bars and spaces written out by element: n narrow, w wide, alternating
// bar and space, starting with a bar.
QByteArray elements(const char* text)
{
    QByteArray result;
    bool bar = true;
    for (const char* c = text; *c; ++c) {
        result += QByteArray(*c == 'w' ? 3 : 1, bar ? '1' : '0');
        bar = !bar;
    }
    return result;
}

const QByteArray start = "1010";
const QByteArray stop = "11101";

TEST(Barcode, Symbol1234ColumnByColumn)
{
    BARCODE barcode;
    barcode.Encode("1234");
    ASSERT_EQ(barcode.bitmap.size(), QSize(45, 50));
    EXPECT_EQ(barcode.bitmap.format(), QImage::Format_Mono);
    EXPECT_EQ(QColor(barcode.bitmap.pixel(1, 0)), QColor(Qt::white));
    EXPECT_EQ(QColor(barcode.bitmap.pixel(0, 0)), QColor(Qt::black));

    const QByteArray columns = modules(barcode.bitmap);
    EXPECT_EQ(columns.mid(0, 4), start);
    // 1 is wide-narrow-narrow-narrow-wide in the bars, 2 is
    // narrow-wide-narrow-narrow-wide in the spaces.
    EXPECT_EQ(columns.mid(4, 18), "111" "0" "1" "000" "1" "0" "1" "0" "111" "000");
    EXPECT_EQ(columns.mid(22, 18), elements("wnwnnwnnnw")); // 3 = wwnnn, 4 = nnwnw
    EXPECT_EQ(columns.mid(40), stop);
    EXPECT_EQ(barcode.nextColumn, 45);
}

TEST(Barcode, EveryDigitIsTwoWideAndThreeNarrowElements)
{
    // 0 and 9 patterns in both the bar and the space position of a pair.
    BARCODE barcode;
    barcode.Encode("0990");
    EXPECT_EQ(modules(barcode.bitmap), start + elements("nnnwwnwwnn") + elements("nnwnnwwwnn") + stop);
    barcode.Encode("5678");
    EXPECT_EQ(modules(barcode.bitmap), start + elements("wnnwwwnnnn") + elements("nwnnnnwwwn") + stop);
}

TEST(Barcode, SizeFollowsTheDigitCount)
{
    BARCODE barcode;
    barcode.Encode("12345678");
    EXPECT_EQ(barcode.bitmap.size(), QSize(81, 50));
    barcode.Encode("");
    EXPECT_EQ(barcode.bitmap.size(), QSize(9, 50));
    EXPECT_EQ(modules(barcode.bitmap), start + stop);
}

TEST(Barcode, OddCountIsPaddedWithZeroAtTheEnd)
{
    BARCODE barcode;
    barcode.Encode("1230");
    const QImage even = barcode.bitmap;
    barcode.Encode("123");
    EXPECT_EQ(barcode.bitmap, even);
    barcode.Encode("0123");
    EXPECT_NE(barcode.bitmap, even);
}

TEST(Barcode, ShorterSymbolLeavesNothingOfTheLongerOne)
{
    BARCODE barcode;
    barcode.Encode("88888888888888888888");
    barcode.Encode("11");
    BARCODE fresh;
    fresh.Encode("11");
    EXPECT_EQ(barcode.bitmap.size(), QSize(27, 50));
    EXPECT_EQ(barcode.bitmap, fresh.bitmap);
}

TEST(Barcode, RefusesWhatItCannotEncode)
{
    BARCODE barcode;
    EXPECT_NO_THROW(barcode.Encode(QByteArray(198, '7')));
    EXPECT_EQ(barcode.bitmap.width(), 9 * 198 + 9);

    barcode.Encode("1234");
    const QImage before = barcode.bitmap;
    struct Case {
        QByteArray number;
        QString message;
    };
    for (const Case& c : {
             Case{QByteArray(199, '7'),
                  QStringLiteral("The barcode number \"%1\" has 199 digits; at most 198 can be encoded")
                      .arg(QString(199, QLatin1Char('7')))},
             Case{"12a4", QStringLiteral("The barcode number \"12a4\" holds \"a\" at position 3; "
                                         "only the digits 0 to 9 can be encoded")},
             Case{" 123", QStringLiteral("The barcode number \" 123\" holds \" \" at position 1; "
                                         "only the digits 0 to 9 can be encoded")},
             Case{"12-", QStringLiteral("The barcode number \"12-\" holds \"-\" at position 3; "
                                        "only the digits 0 to 9 can be encoded")},
             // A % sign in the number is shown as typed, not taken for a
             // place of the message's own.
             Case{"12%3?", QStringLiteral("The barcode number \"12%3?\" holds \"%\" at position 3; "
                                          "only the digits 0 to 9 can be encoded")},
             Case{QByteArray(197, '7') + "%1%2",
                  QStringLiteral("The barcode number \"") + QString(197, QLatin1Char('7'))
                      + QStringLiteral("%1%2\" has 201 digits; at most 198 can be encoded")},
         }) {
        try {
            barcode.Encode(c.number);
            ADD_FAILURE() << "accepted " << c.number.constData();
        } catch (const Exception& e) {
            EXPECT_EQ(e.message(), c.message);
        }
        EXPECT_EQ(barcode.bitmap, before) << "nothing is drawn for a refused number";
    }
}

TEST(Barcode, OneInstanceForTheRun)
{
    EXPECT_EQ(&BARCODE::instance(), &BARCODE::instance());
}

} // namespace
