// The race texts the simulator sends, checked against the layouts the
// application reads and read back by its own race and result records.

#include "store/Miscl.h"
#include "store/Race.h"
#include "store/Result.h"
#include "store/Exception.h"
#include "store/StoreFixture.h"
#include "timer-sim/RaceTexts.h"

#include <gtest/gtest.h>

namespace {

TimerUnitRace race12()
{
    TimerUnitRace race;
    race.number = 12;
    race.ageGroup = "U12G";
    race.event = "100M";
    race.places = 8;
    race.heat = 1;
    race.clockTime = "10:35";
    race.clockDate = "09/12/26";
    return race;
}

QList<QByteArray> linesOf(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    EXPECT_TRUE(lines.last().isEmpty()) << "the text ends in a line feed";
    lines.removeLast();
    for (QByteArray& line : lines) {
        EXPECT_TRUE(line.endsWith('\r')) << line.constData();
        line.chop(1);
    }
    return lines;
}

// Column start (1-based) to end, as the reading end cuts them.
QByteArray columns(const QByteArray& line, int from, int to)
{
    return Miscl::substring(line, from, to - from + 1);
}

} // namespace

TEST(RaceTexts, SingleLineLayout)
{
    const TimerUnitRace race = race12();
    const QList<int> times = placeTimes(race);
    ASSERT_EQ(times.size(), 8);
    QByteArray expected = "10:35,09/12/26,12,LANE,U12G,100M,,1,";
    for (int place = 1; place <= 8; ++place)
        expected += QByteArray::number(place) + ',' + timeText(times[place - 1]) + ",B0" + QByteArray::number(place) + ',';
    expected += "\r\n";
    EXPECT_EQ(singleLineRaceText(race), expected);
    EXPECT_EQ(raceText(race, RaceForm::SingleLine), expected);
    // The same race gives the same text, so a run can be repeated.
    EXPECT_EQ(singleLineRaceText(race), singleLineRaceText(race12()));
}

TEST(RaceTexts, MultiLineColumns)
{
    const TimerUnitRace race = race12();
    const QList<int> times = placeTimes(race);
    const QList<QByteArray> lines = linesOf(multiLineRaceText(race));
    ASSERT_EQ(lines.size(), 2 + 8 + 1);

    EXPECT_EQ(columns(lines[0], 2, 3), "12");
    EXPECT_EQ(columns(lines[0], 4, 4), "G");
    EXPECT_EQ(columns(lines[0], 8, 14), "100M   ");
    EXPECT_EQ(Miscl::substring(lines[0], 15, 99), "H01");
    EXPECT_EQ(lines[1].right(3), "012");

    for (int place = 1; place <= 8; ++place) {
        const QByteArray& line = lines[place + 1];
        EXPECT_GE(line.size(), 15) << line.constData();
        EXPECT_EQ(columns(line, 1, 2), QByteArray::number(place).rightJustified(2, '0'));
        EXPECT_EQ(line.right(2), QByteArray::number(place).rightJustified(2, '0'));
        EXPECT_EQ(columns(line, 5, 9), timeText(times[place - 1]));
    }
    EXPECT_TRUE(lines.last().contains("C.T.K."));
    EXPECT_GE(lines.last().size(), 15);

    TimerUnitRace bare = race;
    bare.ctkLine = false;
    EXPECT_FALSE(multiLineRaceText(bare).contains("C.T.K."));
    EXPECT_EQ(linesOf(multiLineRaceText(bare)).size(), 2 + 8);
}

TEST(RaceTexts, MultiLineOneDigitAgeAndSmallNumbers)
{
    TimerUnitRace race = race12();
    race.ageGroup = "U9B";
    race.number = 7;
    race.heat = 0;
    const QList<QByteArray> lines = linesOf(multiLineRaceText(race));
    EXPECT_EQ(columns(lines[0], 2, 2), "9");
    EXPECT_EQ(columns(lines[0], 3, 4), "B ");
    EXPECT_EQ(Miscl::substring(lines[0], 15, 99), "H00");
    EXPECT_EQ(lines[1].right(3), "007");
}

// The reading end takes a text as complete at its first line feed when that
// stands after position 25, and otherwise waits for 2000 ms of quiet: a
// single-line race must end at its line feed, a multi-line race must not
// end after its first line.
TEST(RaceTexts, FirstLineFeedSuitsTheFraming)
{
    TimerUnitRace shortest = race12();
    shortest.ageGroup = "U9";
    shortest.event = "60M";
    shortest.places = 1;
    shortest.number = 1;
    shortest.heat = 0;
    EXPECT_GT(Miscl::position("\n", singleLineRaceText(shortest)), 25);

    TimerUnitRace widest = race12();
    widest.ageGroup = "OPEN12G";
    widest.event = "4X100MR";
    widest.heat = 99;
    EXPECT_LE(Miscl::position("\n", multiLineRaceText(widest)), 25);
    EXPECT_EQ(columns(linesOf(multiLineRaceText(widest))[0], 8, 14), "4X100MR");
}

TEST(RaceTexts, TimesIncreaseAndStayWithinTwoDigitsOfSeconds)
{
    for (const QByteArray& event : {QByteArray("60M"), QByteArray("100M"), QByteArray("400M"), QByteArray(".......")}) {
        for (const int places : {1, 8, 99}) {
            TimerUnitRace race = race12();
            race.event = event;
            race.places = places;
            const QList<int> times = placeTimes(race);
            ASSERT_EQ(times.size(), places);
            EXPECT_GT(times.first(), 0);
            EXPECT_LE(times.last(), 9999) << event.constData() << ' ' << places;
            for (int i = 1; i < times.size(); ++i)
                EXPECT_GT(times[i], times[i - 1]) << event.constData() << " place " << i + 1;
        }
    }
    // Different races are not all alike.
    TimerUnitRace other = race12();
    other.number = 13;
    EXPECT_NE(placeTimes(other), placeTimes(race12()));
}

TEST(RaceTexts, TimeTextAlwaysHasTwoDigitsOfSeconds)
{
    EXPECT_EQ(timeText(1234), "12.34");
    EXPECT_EQ(timeText(987), "09.87");
    EXPECT_EQ(timeText(5), "00.05");
    EXPECT_EQ(timeText(9999), "99.99");
    // Read the way the application reads it.
    EXPECT_DOUBLE_EQ(RESULT::parseTime(timeText(987)), 9.87);
    EXPECT_DOUBLE_EQ(RESULT::parseTime(timeText(1200)), 12.0);
}

TEST(RaceTexts, NoTimePlacesAreTheLastOnes)
{
    TimerUnitRace race = race12();
    race.untimedPlaces = 3;
    EXPECT_EQ(placeTimes(race).size(), 5);
    EXPECT_TRUE(singleLineRaceText(race).endsWith(",6,00.00,B06,7,00.00,B07,8,00.00,B08,\r\n"));
    EXPECT_FALSE(singleLineRaceText(race).left(singleLineRaceText(race).indexOf(",6,00.00")).contains("00.00"));
    const QList<QByteArray> lines = linesOf(multiLineRaceText(race));
    EXPECT_EQ(columns(lines[6], 5, 9), timeText(placeTimes(race).last())); // place 5, the last timed one
    for (int place = 6; place <= 8; ++place)
        EXPECT_EQ(columns(lines[place + 1], 5, 9), "00.00");

    race.untimedPlaces = race.places;
    EXPECT_TRUE(placeTimes(race).isEmpty());
    EXPECT_EQ(singleLineRaceText(race).count("00.00"), 8);
}

TEST(RaceTexts, RaceNumbersRunFrom1To999)
{
    EXPECT_EQ(nextRaceNumber(1), 2);
    EXPECT_EQ(nextRaceNumber(998), 999);
    EXPECT_EQ(nextRaceNumber(999), 1);
}

// Read back by the application's own records, as a received race is.
class RaceTextsReadBack : public StoreFixture {
protected:
    struct Read {
        RACE race;
        bool singleLine = false;
        QList<RESULT> results;
    };

    Read readBack(QByteArray text)
    {
        Read read;
        EXPECT_TRUE(read.race.parse(text, read.singleLine, *query));
        RESULT result;
        while (result.parseNext(text, read.race.race_id_pk, read.singleLine))
            read.results.append(result);
        return read;
    }
};

TEST_F(RaceTextsReadBack, SingleLineRace)
{
    TimerUnitRace race = race12();
    race.untimedPlaces = 2;
    const QList<int> times = placeTimes(race);
    const Read read = readBack(singleLineRaceText(race));
    EXPECT_TRUE(read.singleLine);
    EXPECT_EQ(read.race.number, 12);
    EXPECT_EQ(read.race.mode, "LANE");
    EXPECT_EQ(read.race.age, 12);
    EXPECT_EQ(read.race.gender, "F");
    EXPECT_EQ(read.race.event, "100M");
    EXPECT_EQ(read.race.heat, 1);
    ASSERT_EQ(read.results.size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(read.results[i].place, QByteArray::number(i + 1));
        EXPECT_EQ(read.results[i].lane, "B0" + QByteArray::number(i + 1));
        EXPECT_DOUBLE_EQ(read.results[i].value, i < 6 ? times[i] / 100.0 : RESULT::noTime) << "place " << i + 1;
    }
}

TEST_F(RaceTextsReadBack, MultiLineRace)
{
    TimerUnitRace race = race12();
    race.ageGroup = "U9B";
    race.event = "200M";
    race.heat = 3;
    race.number = 42;
    race.untimedPlaces = 1;
    const QList<int> times = placeTimes(race);
    const Read read = readBack(multiLineRaceText(race));
    EXPECT_FALSE(read.singleLine);
    EXPECT_EQ(read.race.number, 42);
    EXPECT_EQ(read.race.mode, "MULTI");
    EXPECT_EQ(read.race.age, 9);
    EXPECT_EQ(read.race.gender, "M");
    EXPECT_EQ(read.race.event, "200M");
    EXPECT_EQ(read.race.heat, 3);
    ASSERT_EQ(read.results.size(), 8 + 1);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(read.results[i].place, QByteArray::number(i + 1).rightJustified(2, '0'));
        EXPECT_EQ(read.results[i].lane, QByteArray::number(i + 1).rightJustified(2, '0'));
        EXPECT_DOUBLE_EQ(read.results[i].value, i < 7 ? times[i] / 100.0 : RESULT::noTime) << "place " << i + 1;
    }
    EXPECT_EQ(read.results.last().place, "");
    EXPECT_EQ(read.results.last().lane, "CTK");
    EXPECT_DOUBLE_EQ(read.results.last().value, RESULT::noTime);
}

// A garbled race keeps its layout, so it is framed as one race, and is
// refused when read: the single-line form at its race number, the
// multi-line form at the time of place 1.
TEST_F(RaceTextsReadBack, GarbledRacesAreRefusedWhereTheyWereGarbled)
{
    const TimerUnitRace race = race12();
    const QByteArray single = garbledRaceText(race, RaceForm::SingleLine);
    EXPECT_TRUE(single.startsWith("10:35,09/12/26,1O,LANE,")) << single.constData();
    EXPECT_EQ(single.size(), singleLineRaceText(race).size());
    QByteArray text = single;
    RACE header;
    bool singleLine = false;
    EXPECT_THROW(header.parse(text, singleLine, *query), EConvertError);

    const QByteArray multi = garbledRaceText(race, RaceForm::MultiLine);
    EXPECT_TRUE(multi.contains("\r\n01  12.3..4  01\r\n")) << multi.constData();
    EXPECT_EQ(multi.size(), multiLineRaceText(race).size());
    text = multi;
    ASSERT_TRUE(header.parse(text, singleLine, *query));
    EXPECT_EQ(header.number, 12);
    RESULT result;
    EXPECT_THROW(result.parseNext(text, header.race_id_pk, singleLine), EConvertError);
}
