#include "entry/ColourRules.h"

#include <gtest/gtest.h>

namespace {

using namespace ColourRules;
using std::nullopt;

TEST(ColourRules, NamedColours)
{
    EXPECT_EQ(red(), QColor(0xFF, 0x00, 0x00));
    EXPECT_EQ(yellow(), QColor(0xFF, 0xFF, 0x00));
    EXPECT_EQ(lightGreen(), QColor(0x90, 0xEE, 0x90));
    EXPECT_EQ(lime(), QColor(0x00, 0xFF, 0x00));
    EXPECT_EQ(pink(), QColor(0xFF, 0xB6, 0xC1));
    EXPECT_EQ(lightBlue(), QColor(0xAD, 0xD8, 0xE6));
}

TEST(ColourRules, CompletedRaceIsLime)
{
    EXPECT_EQ(completedColour(true), lime());
    EXPECT_EQ(completedColour(false), nullopt);
    EXPECT_EQ(completedColour(nullopt), nullopt);
}

TEST(ColourRules, OnlyCapitalFIsPink)
{
    EXPECT_EQ(genderColour("F"), pink());
    for (const QByteArray& gender : {QByteArray("M"), QByteArray("f"), QByteArray(), QByteArray("F "),
                                    QByteArray("FF")})
        EXPECT_EQ(genderColour(gender), lightBlue()) << gender.constData();
}

TEST(ColourRules, PerformanceNeedsAnAthleteNumber)
{
    for (const std::optional<qint32> number : {std::optional<qint32>(), std::optional<qint32>(0),
                                               std::optional<qint32>(-3)})
        EXPECT_EQ(performanceColour(number, "value", 10.0, 12.0, 11.0), nullopt);
}

TEST(ColourRules, NumberColumnNeverChanges)
{
    EXPECT_EQ(performanceColour(101, "athlete_number", 10.0, 12.0, 11.0), nullopt);
    EXPECT_EQ(performanceColour(101, "ATHLETE_NUMBER", 10.0, 12.0, 11.0), nullopt);
    for (const char* field : {"place", "value", "surname", "dpb", "grecord"})
        EXPECT_EQ(performanceColour(101, field, 10.0, 12.0, 11.0), red()) << field;
}

TEST(ColourRules, RecordThenPersonalBestThenNumberEntered)
{
    struct Case {
        std::optional<double> value, dpb, grecord;
        QColor colour;
    };
    for (const Case& c : {
             Case{10.5, 12.0, 11.0, red()},
             Case{11.0, 12.0, 11.0, red()},         // equalling the record
             Case{11.0, 11.0, 11.0, red()},         // record before personal best
             Case{11.5, 11.5, 11.0, yellow()},      // above the record, equal to the best
             Case{11.2, 11.5, 11.0, yellow()},
             Case{12.0, 11.5, 11.0, lightGreen()},  // above both
             Case{12.0, nullopt, nullopt, lightGreen()},
             Case{12.0, 12.5, nullopt, yellow()},
             Case{12.0, nullopt, 12.5, red()},
         }) {
        EXPECT_EQ(performanceColour(7, "value", c.value, c.dpb, c.grecord), c.colour)
            << c.value.value_or(-1) << " " << c.dpb.value_or(-1) << " " << c.grecord.value_or(-1);
    }
}

// A place without a time (the timer unit's 99999, or 0 or nothing) has beaten
// nobody: with a number it is light green, whatever record or best the
// athlete has, so that no official copies a record that was never run.
TEST(ColourRules, NoTimeIsNeverARecordOrPersonalBest)
{
    for (const std::optional<double> value : {std::optional<double>(99999.0), std::optional<double>(0.0),
                                              std::optional<double>(), std::optional<double>(-1.0),
                                              std::optional<double>(100000.0)}) {
        for (const std::optional<double> best : {std::optional<double>(), std::optional<double>(12.0),
                                                 std::optional<double>(99999.0)}) {
            for (const std::optional<double> record : {std::optional<double>(), std::optional<double>(11.0),
                                                       std::optional<double>(99999.0)}) {
                EXPECT_EQ(performanceColour(7, "value", value, best, record), lightGreen())
                    << value.value_or(-2) << " " << best.value_or(-2) << " " << record.value_or(-2);
            }
        }
    }
    EXPECT_EQ(performanceColour(7, "value", 0.01, 12.0, 11.0), red()) << "the smallest time is still a time";
    EXPECT_EQ(performanceColour(7, "value", 99998.9, 99999.0, nullopt), yellow());
}

} // namespace
