#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/StoreFixture.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Miscl;

namespace {

// The message of the conversion error a call raises, or "" when none.
template <typename Call>
QString conversionError(Call call)
{
    try {
        call();
    } catch (const EConvertError& e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(MisclTrim, BlanksAreEveryByteUpToSpaceAndNothingAbove)
{
    EXPECT_EQ(trim(QByteArray("\x01\t\r\n A b \x1f\x20", 11)), "A b");
    EXPECT_EQ(trim(QByteArray("\0x\0", 3)), "x");
    EXPECT_EQ(trim(" \r\n\t "), "");
    EXPECT_EQ(trim(""), "");
    // UTF-8 bytes of a name are above 127 and stay.
    EXPECT_EQ(trim(" Se\xc3\xa1n "), "Se\xc3\xa1n");
    EXPECT_EQ(trim("\xa0x\xa0"), "\xa0x\xa0");

    EXPECT_EQ(trimLeft("  \r\n x y  "), "x y  ");
    EXPECT_EQ(trimLeft("   "), "");
}

TEST(MisclSubstring, EdgesOfStartAndCount)
{
    EXPECT_EQ(substring("42", 0, 3), "42");
    EXPECT_EQ(substring("42", 3, 1), "");
    EXPECT_EQ(substring("42", 2, 1), "2");
    EXPECT_EQ(substring("42", 2, 5), "2");
    EXPECT_EQ(substring("42", 1, 0), "");
    EXPECT_EQ(substring("42", 1, -1), "");
    // A start below 1 counts as 1 with the count unchanged: not shortened.
    EXPECT_EQ(substring("abcdef", -2, 3), "abc");
    EXPECT_EQ(substring("", 1, 2), "");
    EXPECT_EQ(substring("", 0, 2), "");
}

TEST(MisclPositionAndDelete, OneBasedAndClipped)
{
    EXPECT_EQ(position(",", "a,b,c"), 2);
    EXPECT_EQ(position("C.T.K.", "xx C.T.K. 12"), 4);
    EXPECT_EQ(position(",", "abc"), 0);
    EXPECT_EQ(position("", "abc"), 0);

    QByteArray t("abcdef");
    deleteText(t, 1, 4);
    EXPECT_EQ(t, "ef");
    t = "abcdef";
    deleteText(t, 5, 10);
    EXPECT_EQ(t, "abcd");
    t = "abc";
    deleteText(t, 4, 1);
    deleteText(t, 0, 1);
    deleteText(t, 1, 0);
    EXPECT_EQ(t, "abc");
}

TEST(MisclToInteger, AcceptedForms)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"0", 0},           {"12", 12},         {"007", 7},          {"   12", 12},
        {"+5", 5},          {"-3", -3},         {" -3", -3},         {"$1F", 31},
        {"x1f", 31},        {"0x1F", 31},       {"-$10", -16},       {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},   {"$7FFFFFFF", 2147483647},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(toInteger(c.text), c.value) << c.text;
        EXPECT_EQ(toIntegerOrDefault(c.text), c.value) << c.text;
    }
}

TEST(MisclToInteger, RefusedFormsNameTheTextBetweenDoubledApostrophes)
{
    const char* refused[] = {"9B", "", "12 ", " ", "-", "+", "$", "x", "0x", "1.5", "\t12", "1 2",
                             "2147483648", "-2147483649", "$80000000", "99999999999999999999", "12,", "$G"};
    for (const char* text : refused) {
        const QByteArray t(text);
        EXPECT_EQ(conversionError([&] { toInteger(t); }),
                  QStringLiteral("''%1'' is not a valid integer value").arg(QString::fromUtf8(t)))
            << text;
        EXPECT_EQ(toIntegerOrDefault(t), 0) << text;
    }
    EXPECT_EQ(toIntegerOrDefault("9B", 7), 7);

    // A number that runs on (a damaged line, a pasted block) is named by its
    // start and length, in a box a person can read.
    const QByteArray runsOn = QByteArray(40, '1') + QByteArray(1 << 20, '2');
    const QString start = QString(40, QLatin1Char('1'));
    EXPECT_EQ(conversionError([&] { toInteger(runsOn); }),
              QStringLiteral("''%1...'' (%2 characters) is not a valid integer value").arg(start).arg(runsOn.size()));
    EXPECT_EQ(conversionError([&] { toFloat(runsOn); }),
              QStringLiteral("'%1...' (%2 characters) is not a valid floating point value").arg(start).arg(runsOn.size()));
}

TEST(MisclToFloat, AcceptedAndRefused)
{
    const struct {
        const char* text;
        double value;
    } accepted[] = {{"12.34", 12.34}, {"-3", -3},    {"+2", 2},        {"1e5", 1e5}, {"1.5E-3", 1.5e-3},
                    {".5", 0.5},      {"5.", 5},     {"0034", 34},     {"1e+2", 100}, {"14.02", 14.02}};
    for (const auto& c : accepted)
        EXPECT_EQ(toFloat(c.text), c.value) << c.text;

    // strtod alone would take several of these: blanks, hexadecimal, words.
    const char* refused[] = {"", ".", "-", "1.2.3", "abc", " 1", "1 ", "1e", "1e+", "e5", "inf",
                             "nan", "0x10", "1,5", "1e400", "12.34s"};
    for (const char* text : refused)
        EXPECT_EQ(conversionError([&] { toFloat(text); }),
                  QStringLiteral("'%1' is not a valid floating point value").arg(QString::fromUtf8(text)))
            << text;
}

TEST(MisclNumberText, IntegersAndFloatsAsStatementsNeedThem)
{
    EXPECT_EQ(integerText(12), "12");
    EXPECT_EQ(integerText(-3), "-3");
    EXPECT_EQ(integerText(0), "0");

    const struct {
        double value;
        const char* text;
    } cases[] = {
        {12.34, "12.34"},
        {88.0, "88"},
        {0, "0"},
        {-0.0, "0"},
        {-3.5, "-3.5"},
        {99999, "99999"},
        {0.1 + 0.2, "0.3"}, // 15 digits hide the binary noise
        {100, "100"},
        {123456789.123456789, "123456789.123457"},
        {1e14, "100000000000000"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E15"},
        {999999999999999.9, "1E15"}, // rounds up into exponent form
        {1e20, "1E20"},
        {-1e20, "-1E20"},
        {1.23456789012345678e20, "1.23456789012346E20"},
        {0.00001, "0.00001"},
        {0.0000123456789012345678, "0.0000123456789012346"},
        {0.0000099, "9.9E-6"},
        {1.5e-7, "1.5E-7"},
        {-2.5e-300, "-2.5E-300"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(floatText(c.value), c.text) << c.text;

    // What is written reads back as the value to 15 digits.
    for (double v : {12.34, 13.5, 14.02, 1.0 / 3.0, 88.0, 1e-9, 6.02214076e23}) {
        const double back = toFloat(floatText(v));
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-14) << v;
    }
}

TEST(MisclNextField, CutsFieldsAndThenEmptiesForEver)
{
    QByteArray line("A,12, Smith ,,");
    EXPECT_EQ(nextField(line), "A");
    EXPECT_EQ(nextField(line), "12");
    EXPECT_EQ(nextField(line), "Smith");
    EXPECT_EQ(nextField(line), "");
    EXPECT_EQ(line, "");
    EXPECT_EQ(nextField(line), "");
    EXPECT_EQ(nextField(line), "");
    EXPECT_EQ(line, "");

    QByteArray single(" no comma here \r\n");
    EXPECT_EQ(nextField(single), "no comma here");
    EXPECT_EQ(single, "");

    // No quoting: quotes are ordinary characters and a field ends at a comma.
    QByteArray quoted("\"Lee, Ann\",O'Brien");
    EXPECT_EQ(nextField(quoted), "\"Lee");
    EXPECT_EQ(nextField(quoted), "Ann\"");
    EXPECT_EQ(nextField(quoted), "O'Brien");

    // Only the field's own blanks go; the rest of the line is not trimmed.
    QByteArray rest("1, 12.34 , B01 ");
    nextField(rest);
    EXPECT_EQ(rest, " 12.34 , B01 ");
}

TEST(MisclNextLine, SkipsEmptyAndSingleCharacterLines)
{
    QByteArray text("x\r\n\r\nU12G   100M\r\nnext");
    EXPECT_EQ(nextLine(text), "U12G   100M");
    EXPECT_EQ(text, "\nnext"); // the LF of the CR LF is still there
    EXPECT_EQ(nextLine(text), "next");
    EXPECT_EQ(text, "");
    EXPECT_EQ(nextLine(text), "");

    // CR alone and LF alone end lines as well; blanks inside a line stay.
    QByteArray mixed("ab\rcd  ef\nlast ");
    EXPECT_EQ(nextLine(mixed), "ab");
    EXPECT_EQ(nextLine(mixed), "cd  ef");
    EXPECT_EQ(nextLine(mixed), "last");

    // The last line is returned whatever its length; a dropped line is gone.
    QByteArray tail("ab\nz");
    nextLine(tail);
    EXPECT_EQ(nextLine(tail), "z");
    QByteArray dropped("z\n\n");
    EXPECT_EQ(nextLine(dropped), "");
    EXPECT_EQ(dropped, "");

    // A line of two blanks counts as a line, and comes back trimmed.
    QByteArray blanks("  \nok");
    EXPECT_EQ(nextLine(blanks), "");
    EXPECT_EQ(blanks, "ok");
}

TEST(MisclSqlText, DoublesEveryApostropheAndNothingElse)
{
    EXPECT_EQ(sqlText("O'Brien"), "O''Brien");
    EXPECT_EQ(sqlText("''"), "''''");
    EXPECT_EQ(sqlText("x'); delete from athletes; --"), "x''); delete from athletes; --");
    EXPECT_EQ(sqlText("plain \"text\" #2020/01/01 10:00#"), "plain \"text\" #2020/01/01 10:00#");
    EXPECT_EQ(sqlText(""), "");
}
