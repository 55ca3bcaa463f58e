#include "store/DateTime.h"
#include "store/Event.h"
#include "store/Exception.h"
#include "store/Race.h"
#include "store/RaceText.h"
#include "store/Result.h"
#include "store/StoreFixture.h"

#include <gtest/gtest.h>

namespace {

// "Add New Race" builds this text for a race typed in by hand.
const QByteArray addNewRaceTemplate =
    "00:00,01/01/00,999,LANE,U99,100M,,,1,88,B01,2,88,B02,3,88,B03,4,88,B04,5,88,B05,6,88,B06,"
    "7,88,B07,8,88,B08,9,88,B09,10,88,B10,11,88,B11,12,88,B12,\r\n";

// A multi-line race as the timer unit prints it: the age group, the event
// code from column 8 and the heat text from column 15; the race number at
// the end of line 2; then one line per place (place, time, lane in the last
// two columns), a C.T.K. line, and a 14-character line that ends the list.
const QByteArray multiLineRace = "U12G   100M   H03 Final, wind +1.2\r\n"
                                 "Race No.   042\r\n"
                                 "01  12.34    04\r\n"
                                 "02  12.56    07\r\n"
                                 "03  13.01    02\r\n"
                                 "00  C.T.K.   00\r\n"
                                 "Ends 10:42:17.\r\n"
                                 "04  14.00    01\r\n";

// 10:30:45 on 18 May 2024: day count 45430.43802083..., key 4380208.
const QDateTime fixedTime(QDate(2024, 5, 18), QTime(10, 30, 45));
constexpr qint32 fixedKey = 4380208;

class RaceRecords : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        RACE::setLastRaceId(0);
        RACE::setClock([this] { return clockTime; });
    }
    void TearDown() override
    {
        RACE::setClock({});
        RACE::setLastRaceId(0);
        StoreFixture::TearDown();
    }

    RACE parsed(QByteArray text)
    {
        RACE race;
        bool singleLine = false;
        EXPECT_TRUE(race.parse(text, singleLine, *query));
        return race;
    }

    // Reads and stores a race text the way a received race is processed.
    qint32 process(QByteArray text)
    {
        RACE race;
        bool singleLine = false;
        race.parse(text, singleLine, *query);
        race.store(*query);
        RESULT result;
        while (result.parseNext(text, race.race_id_pk, singleLine))
            result.store(*query);
        return race.race_id_pk;
    }

    QString raceFailure(QByteArray text)
    {
        RACE race;
        bool singleLine = false;
        try {
            race.parse(text, singleLine, *query);
        } catch (const Exception& e) {
            return e.message();
        }
        return {};
    }

    QDateTime clockTime = fixedTime;
};

} // namespace

TEST_F(RaceRecords, AddNewRaceTemplateGivesTwelveResultsOf88Seconds)
{
    QByteArray text = addNewRaceTemplate;
    RACE race;
    bool singleLine = false;
    ASSERT_TRUE(race.parse(text, singleLine, *query));
    EXPECT_TRUE(singleLine);
    EXPECT_EQ(race.number, 999);
    EXPECT_EQ(race.mode, "LANE");
    EXPECT_EQ(race.age, 99);
    EXPECT_EQ(race.gender, "");
    EXPECT_EQ(race.event, "100M");
    EXPECT_EQ(race.hf, "");
    EXPECT_EQ(race.heat, 0);
    EXPECT_FALSE(race.completed);
    EXPECT_EQ(race.datetime, DayCount::fromDateTime(fixedTime));
    EXPECT_TRUE(text.startsWith("1,88,B01,2,88,B02,")) << text.constData();
    EXPECT_TRUE(text.endsWith("12,88,B12,")) << "the trimmed text is what is left";

    race.store(*query);
    RESULT result;
    int places = 0;
    while (result.parseNext(text, race.race_id_pk, singleLine)) {
        ++places;
        EXPECT_EQ(result.place, QByteArray::number(places));
        EXPECT_EQ(result.value, 88);
        EXPECT_EQ(result.lane, QByteArrayLiteral("B") + QByteArray::number(places).rightJustified(2, '0'));
        EXPECT_EQ(result.race_id_pk, race.race_id_pk);
        result.store(*query);
    }
    EXPECT_EQ(places, 12);
    EXPECT_EQ(result.place, "");

    EXPECT_EQ(rows("select race_id_pk, number, datetime, event, completed, age, gender, heat, hf, mode from races"),
              (QList<QVariantList>{{fixedKey, 999, QStringLiteral("2024-05-18 10:30:00"), QStringLiteral("100M"), 0,
                                    99, QString(), 0, QString(), QStringLiteral("LANE")}}));
    const auto stored = rows("select race_id_pk, place, value, lane, athlete_number is null from result"
                             " order by result_id_pk");
    ASSERT_EQ(stored.size(), 12);
    EXPECT_EQ(stored[11], (QVariantList{fixedKey, QStringLiteral("12"), 88.0, QStringLiteral("B12"), 1}));
}

TEST_F(RaceRecords, TimerCodeIsMappedThroughTheEventTable)
{
    exec("insert into event (event, tg_event) values ('100 Metres', '100M')");
    EXPECT_EQ(parsed(addNewRaceTemplate).event, "100 Metres");
    exec("insert into event (event, tg_event) values ('No event', '.......')");
    EXPECT_EQ(parsed(multiLineRace).event, "100 Metres");
}

TEST_F(RaceRecords, EmptyTimerCodeMatchesNoEvent)
{
    // An event whose timer code cell was emptied, and one never given a code.
    exec("insert into event (event, tg_event) values ('200 Metres', '')");
    exec("insert into event (event, tg_event) values ('100 Metres', null)");
    EXPECT_EQ(parsed("10:00,18/05/24,7,LANE,U12G,,,,1,12.34,B01,").event, "");
    EXPECT_EQ(parsed("10:00,18/05/24,7,LANE,U12G").event, "");
    EXPECT_EQ(parsed("U12G          H1\nRace No.   042\n").event, "");

    EVENT event;
    event.event = "kept";
    EXPECT_FALSE(event.lookup(*query, ""));
    EXPECT_EQ(event.event, "kept");
}

TEST_F(RaceRecords, SingleLineAgeGroupsAndShortHeaders)
{
    const struct {
        const char* text;
        int age;
        const char* gender;
    } groups[] = {
        {"00:00,01/01/00,1,LANE,U9B,100M", 9, "M"},
        {"00:00,01/01/00,1,LANE,U12G,100M", 12, "F"},
        {"00:00,01/01/00,1,LANE,U99,100M", 99, ""},
        {"00:00,01/01/00,1,LANE,U12g,100M", 12, ""}, // case matters
        {"00:00,01/01/00,1,LANE,U12X,100M", 12, ""},
    };
    for (const auto& g : groups) {
        const RACE race = parsed(g.text);
        EXPECT_EQ(race.age, g.age) << g.text;
        EXPECT_EQ(race.gender, g.gender) << g.text;
    }

    // Missing header fields read as empty; a missing heat is 0.
    const RACE shortRace = parsed("10:00,18/05/24,7,LANE,U12G");
    EXPECT_EQ(shortRace.number, 7);
    EXPECT_EQ(shortRace.event, "");
    EXPECT_EQ(shortRace.heat, 0);
    const RACE withHeat = parsed("10:00,18/05/24,7,LANE,U12G,200M,H,3,");
    EXPECT_EQ(withHeat.hf, "H");
    EXPECT_EQ(withHeat.heat, 3);

    // Trailing CR LF and blanks do not make a single line multi-line.
    QByteArray text("10:00,18/05/24,7,LANE,U12G,200M,,,1,12.34,B01,  \r\n");
    RACE race;
    bool singleLine = false;
    race.parse(text, singleLine, *query);
    EXPECT_TRUE(singleLine);
    EXPECT_EQ(text, "1,12.34,B01,");
}

TEST_F(RaceRecords, HeaderThatDoesNotConvertChangesNothing)
{
    EXPECT_EQ(raceFailure("00:00,01/01/00,999,LANE,OPEN,100M"), QStringLiteral("''P'' is not a valid integer value"));
    EXPECT_EQ(raceFailure("00:00,01/01/00,,LANE,U12G,100M"), QStringLiteral("'''' is not a valid integer value"));
    EXPECT_EQ(raceFailure("00:00,01/01/00"), QStringLiteral("'''' is not a valid integer value"));
    EXPECT_EQ(raceFailure("00:00,01/01/00,R9,LANE,OPEN,100M"), QStringLiteral("''R9'' is not a valid integer value"));
    EXPECT_EQ(raceFailure("U12G   100M   H1\nRace No.   4x2\n01  12.34    04"),
              QStringLiteral("''4x2'' is not a valid integer value"));
    EXPECT_EQ(raceFailure("U12G   100M   H1\n"), QStringLiteral("'''' is not a valid integer value"));

    RACE race;
    race.number = 5;
    QByteArray text(" 00:00,01/01/00,999,LANE,OPEN,100M,,,1,88,B01, ");
    const QByteArray before = text;
    bool singleLine = true;
    EXPECT_THROW(race.parse(text, singleLine, *query), EConvertError);
    EXPECT_EQ(text, before);
    EXPECT_EQ(race.number, 5);
    EXPECT_EQ(RACE::lastRaceId(), 0);
    EXPECT_EQ(count("races"), 0);
}

TEST_F(RaceRecords, MultiLineRaceIsReadByColumnsAndItsLongMarkerKeptWhole)
{
    QByteArray text = multiLineRace;
    RACE race;
    bool singleLine = true;
    ASSERT_TRUE(race.parse(text, singleLine, *query));
    EXPECT_FALSE(singleLine);
    EXPECT_EQ(race.age, 12);
    EXPECT_EQ(race.gender, "F");
    EXPECT_EQ(race.event, "100M");
    EXPECT_EQ(race.hf, "H03 Final, wind +1.2");
    EXPECT_EQ(race.heat, 3);
    EXPECT_EQ(race.number, 42);
    EXPECT_EQ(race.mode, "MULTI");
    race.store(*query);

    RESULT result;
    QList<QVariantList> read;
    while (result.parseNext(text, race.race_id_pk, singleLine)) {
        read << QVariantList{QString::fromUtf8(result.place), result.value, QString::fromUtf8(result.lane)};
        result.store(*query);
    }
    // The 14-character line ends the list; the line after it is not read.
    EXPECT_EQ(read, (QList<QVariantList>{{QStringLiteral("01"), 12.34, QStringLiteral("04")},
                                         {QStringLiteral("02"), 12.56, QStringLiteral("07")},
                                         {QStringLiteral("03"), 13.01, QStringLiteral("02")},
                                         {QString(), 99999.0, QStringLiteral("CTK")}}));

    // The column is declared one character wide; the engine keeps it all.
    EXPECT_EQ(scalar("select hf from races").toString(), QStringLiteral("H03 Final, wind +1.2"));
    EXPECT_EQ(scalar("select mode from races").toString(), QStringLiteral("MULTI"));
    EXPECT_EQ(rows("select place, value, lane from result order by result_id_pk"), read);
}

TEST_F(RaceRecords, MultiLineHeaderEdges)
{
    // A one-digit age: gender from column 3.
    RACE race = parsed("U9G    60M    H1\nRace   7\n");
    EXPECT_EQ(race.age, 9);
    EXPECT_EQ(race.gender, "F");
    EXPECT_EQ(race.number, 7);
    EXPECT_EQ(race.heat, 1);

    // No age at all, CR alone between lines, a race number of two digits.
    race = parsed("OPEN   .......   2nd\r12\r01  12.34    04");
    EXPECT_EQ(race.age, 0);
    EXPECT_EQ(race.gender, "");
    EXPECT_EQ(race.event, "xxx");
    EXPECT_EQ(race.hf, "2nd");
    EXPECT_EQ(race.heat, 0); // "nd" is no number
    EXPECT_EQ(race.number, 12);

    // The marker starts at column 15 and holds at most 99 characters.
    const QByteArray marker = "H12" + QByteArray(120, 'x');
    race = parsed("U15B   400M   " + marker + "\nNo 003");
    EXPECT_EQ(race.age, 15);
    EXPECT_EQ(race.gender, "M");
    EXPECT_EQ(race.event, "400M");
    EXPECT_EQ(race.hf, marker.left(99));
    EXPECT_EQ(race.heat, 12);
    EXPECT_EQ(race.number, 3);

    // Columns count characters as the timer unit wrote them: a degree sign
    // from a Windows timer program reaches the store as two UTF-8 bytes
    // and is still one column.
    race = parsed("U12G\xc2\xb0  100M   \xc2\xb0" "03 Final\nRace No. 042\n");
    EXPECT_EQ(race.event, "100M");
    EXPECT_EQ(race.hf, "\xc2\xb0" "03 Final");
    EXPECT_EQ(race.heat, 3);
    EXPECT_EQ(race.number, 42);
}

TEST_F(RaceRecords, KeysCountStepsOf864MillisecondsAndNeverRepeatAtOnce)
{
    EXPECT_EQ(RACE::keyFromDayCount(45430.0), 0); // a ten-day cycle begins
    EXPECT_EQ(RACE::keyFromDayCount(DayCount::fromDateTime(fixedTime)), fixedKey);

    const qint32 first = process(addNewRaceTemplate);
    clockTime = fixedTime.addMSecs(5); // still the same step
    const qint32 second = process(addNewRaceTemplate);
    EXPECT_EQ(first, fixedKey);
    EXPECT_EQ(second, fixedKey + 1);
    EXPECT_EQ(RACE::lastRaceId(), fixedKey + 1);

    clockTime = fixedTime.addMSecs(18); // two steps on
    EXPECT_EQ(process(addNewRaceTemplate), fixedKey + 2);
    EXPECT_EQ(count("races"), 3);
    EXPECT_EQ(count("result"), 36);
    EXPECT_EQ(scalar("select count(distinct race_id_pk) from result").toInt(), 3);
}

TEST_F(RaceRecords, RaceWhoseKeyIsTakenMeanwhileMovesOnToTheNextFreeKey)
{
    // Another station stores under the key drawn here, and under the next
    // one, between this station's reading and storing of its race.
    QByteArray text = addNewRaceTemplate;
    RACE race;
    bool singleLine = false;
    race.parse(text, singleLine, *query);
    const qint32 drawn = race.race_id_pk;
    exec("insert into races (race_id_pk, completed) values (" + QByteArray::number(drawn) + ",0)");
    exec("insert into result (race_id_pk) values (" + QByteArray::number(drawn + 1) + ")");
    race.store(*query);
    EXPECT_EQ(race.race_id_pk, drawn + 2);
    EXPECT_EQ(RACE::lastRaceId(), drawn + 2);
    EXPECT_EQ(rows("select race_id_pk, coalesce(number, 0) from races order by race_id_pk"),
              (QList<QVariantList>{{drawn, 0}, {drawn + 2, 999}}));
}

TEST_F(RaceRecords, CompletedRaceReadsBackFromARow)
{
    const qint32 key = process("10:00,18/05/24,17,LANE,U12G,200M,H,2,1,30.01,B01,");
    process(addNewRaceTemplate);
    RACE::markCompleted(*query, key);
    EXPECT_EQ(rows("select completed from races order by race_id_pk"), (QList<QVariantList>{{1}, {0}}));

    query->setSQL("select * from races where race_id_pk = " + QByteArray::number(key));
    query->Open();
    RACE race;
    race.mode = "kept";
    race.hf = "kept";
    race.heat = 9;
    ASSERT_TRUE(race.fromDataSet(*query));
    EXPECT_EQ(race.race_id_pk, key);
    EXPECT_EQ(race.number, 17);
    EXPECT_EQ(race.age, 12);
    EXPECT_EQ(race.gender, "F");
    EXPECT_EQ(race.event, "200M");
    EXPECT_TRUE(race.completed);
    EXPECT_EQ(DayCount::toDateTime(race.datetime), QDateTime(QDate(2024, 5, 18), QTime(10, 30)));
    EXPECT_EQ(race.mode, "kept");
    EXPECT_EQ(race.hf, "kept");
    EXPECT_EQ(race.heat, 9);
}

TEST_F(RaceRecords, RaceTextsAreStoredAsSentWithApostrophesAndOverTheWidths)
{
    process("10:00,18/05/24,5,LA'NE,U12G,Kids' 60,'); delete from races; --,1,1',12.34,B'1,");
    EXPECT_EQ(rows("select mode, event, hf from races"),
              (QList<QVariantList>{{QStringLiteral("LA'NE"), QStringLiteral("Kids' 60"),
                                    QStringLiteral("'); delete from races; --")}}));
    EXPECT_EQ(rows("select place, lane from result"),
              (QList<QVariantList>{{QStringLiteral("1'"), QStringLiteral("B'1")}}));

    // Whatever the widths of the columns: an unmapped event code of 12
    // characters, a mode of 24, a place and a lane of 5.
    clockTime = fixedTime.addSecs(60);
    const qint32 key = storeRaceText("10:01,18/05/24,6,LANE-AND-LANE-AND-LANE-,U12G,STEEPLE2000M,,,10001,12.34,LANE7,",
                                     *query);
    EXPECT_EQ(rows("select mode, event from races where race_id_pk = " + QByteArray::number(key)),
              (QList<QVariantList>{{QStringLiteral("LANE-AND-LANE-AND-LANE-"), QStringLiteral("STEEPLE2000M")}}));
    EXPECT_EQ(rows("select place, lane from result where race_id_pk = " + QByteArray::number(key)),
              (QList<QVariantList>{{QStringLiteral("10001"), QStringLiteral("LANE7")}}));
}

TEST_F(RaceRecords, DeleteAllEmptiesRacesAndResults)
{
    process(addNewRaceTemplate);
    RESULT::deleteAll(*query);
    EXPECT_EQ(count("result"), 0);
    EXPECT_EQ(count("races"), 1);
    RACE::deleteAll(*query);
    EXPECT_EQ(count("races"), 0);
}

TEST(ResultTime, TimerTextToSeconds)
{
    const struct {
        const char* text;
        double seconds;
    } cases[] = {
        // The timer unit's own form, two digits, any one separator, two
        // digits: seconds and hundredths.
        {"12.34", 12.34}, {"12,34", 12.34}, {"12:34", 12.34}, {"12:01", 12.01}, {"09.87", 9.87},
        {"12;34", 12.34}, {"12\xc2\xb7" "34", 12.34},
        // Seconds with a point or a comma before an optional fraction.
        {"88", 88}, {"9.87", 9.87}, {"125.30", 125.3}, {"125,30", 125.3}, {"12.3", 12.3}, {"12,3", 12.3},
        {"3599.99", 3599.99}, {"0.5", 0.5}, {"7", 7},
        // Hours and minutes before them, separated by colons.
        {"2:05.30", 125.3}, {"2:05,30", 125.3}, {"1:02:03.45", 3723.45}, {"1:02:03", 3723}, {"0:59.99", 59.99},
        {"1:00", 60}, {"10:00.5", 600.5},
        // The time ends at its first blank.
        {"12.34 04", 12.34}, {"12,34    04", 12.34}, {"2:05.30 04", 125.3}, {"00  C.T.K.   00", 99999},
        {"12 34", 12},
        // Any other text by the first two characters and the hundredths.
        {"12.34s", 12.34}, {"12.", 12}, {"ab.34", 0.34}, {"12.3.4", 12.034}, {"2:5", 99999}, {"2:5.30", 0.003},
        {"2:055", 0.55}, {"2:05.", 0.05}, {":05", 99999}, {"12:3", 12.03},
        // Nothing, or zero, is no time.
        {"00.00", 99999}, {"", 99999}, {"0", 99999}, {"0:00", 99999}, {"0.00", 99999},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(RESULT::parseTime(c.text), c.seconds) << c.text;

    // Every time the timer unit writes in its own form reads to the very
    // same value as it always has: whole seconds plus hundredths x 0.01.
    for (int whole = 0; whole < 100; ++whole)
        for (int hundredths = 0; hundredths < 100; ++hundredths) {
            const QByteArray text = QByteArray::number(whole).rightJustified(2, '0') + '.'
                + QByteArray::number(hundredths).rightJustified(2, '0');
            const double before = whole + hundredths * 0.01;
            EXPECT_EQ(RESULT::parseTime(text), before == 0 ? 99999 : before) << text.constData();
        }

    try {
        RESULT::parseTime("12.3.4.5");
        ADD_FAILURE() << "two points after the separator must fail";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'3.4.5' is not a valid floating point value"));
    }
}

TEST(ResultParse, SingleLineTriplesEndAtTheFirstEmptyPlace)
{
    QByteArray rest("1,12.34,B01,2,12.56,B02,");
    RESULT r;
    ASSERT_TRUE(r.parseNext(rest, 77, true));
    EXPECT_EQ(r.place, "1");
    EXPECT_EQ(r.value, 12.34);
    EXPECT_EQ(r.lane, "B01");
    EXPECT_EQ(r.race_id_pk, 77);
    ASSERT_TRUE(r.parseNext(rest, 77, true));
    EXPECT_EQ(r.lane, "B02");
    EXPECT_FALSE(r.parseNext(rest, 77, true));
    EXPECT_EQ(r.place, "");
    EXPECT_EQ(r.lane, "B02"); // nothing but the place changes at the end

    QByteArray gap(",12.34,B03,4,12.00,B04,");
    EXPECT_FALSE(r.parseNext(gap, 77, true));

    // A place without time or lane still counts: no time, no lane.
    QByteArray cut("5");
    ASSERT_TRUE(r.parseNext(cut, 77, true));
    EXPECT_EQ(r.value, 99999);
    EXPECT_EQ(r.lane, "");
}

TEST(ResultParse, MultiLineEndsAtAShortLine)
{
    QByteArray rest("01  12.34    04\n"
                    "02 12.3     07x\n" // one blank short: the time leaves its columns
                    "12345678901234\n"
                    "03  13.01    02\n");
    RESULT r;
    ASSERT_TRUE(r.parseNext(rest, 1, false));
    EXPECT_EQ(r.value, 12.34);
    ASSERT_TRUE(r.parseNext(rest, 1, false));
    EXPECT_EQ(r.place, "02");
    EXPECT_EQ(r.lane, "7x");
    EXPECT_EQ(r.value, 2.3); // "2.3     07x" after the first four columns
    EXPECT_FALSE(r.parseNext(rest, 1, false));
    EXPECT_EQ(rest, "03  13.01    02");

    QByteArray empty;
    EXPECT_FALSE(r.parseNext(empty, 1, false));

    // Columns count characters, not the bytes of their UTF-8 form: a
    // 14-character line ends the list however many bytes it takes.
    QByteArray degrees("01\xc2\xb0 12.34   \xc2\xb0" "04\n"
                       "1234567890123\xc2\xb0\n"
                       "03  13.01    02\n");
    ASSERT_TRUE(r.parseNext(degrees, 1, false));
    EXPECT_EQ(r.place, "01");
    EXPECT_EQ(r.value, 12.34);
    EXPECT_EQ(r.lane, "04");
    EXPECT_FALSE(r.parseNext(degrees, 1, false));
}

TEST_F(RaceRecords, ResultWithAndWithoutAnAthleteReadsBack)
{
    RESULT r;
    r.race_id_pk = 10;
    r.setPlace("1");
    r.setLane("B01");
    r.value = 0.0 + RESULT::parseTime("00.00");
    r.store(*query);
    r.athlete_number = 101;
    r.setPlace("2");
    r.value = 12.56;
    r.store(*query);

    EXPECT_EQ(rows("select place, value, athlete_number is null, coalesce(athlete_number, -1) from result"
                   " order by result_id_pk"),
              (QList<QVariantList>{{QStringLiteral("1"), 99999.0, 1, -1}, {QStringLiteral("2"), 12.56, 0, 101}}));

    query->setSQL("select * from result order by result_id_pk");
    query->Open();
    RESULT back;
    back.athlete_number = 5;
    ASSERT_TRUE(back.fromDataSet(*query));
    EXPECT_GT(back.result_id_pk, 0);
    EXPECT_EQ(back.race_id_pk, 10);
    EXPECT_EQ(back.place, "1");
    EXPECT_EQ(back.lane, "B01");
    EXPECT_EQ(back.value, 99999);
    EXPECT_EQ(back.athlete_number, 0); // null reads as none
    query->Next();
    back.fromDataSet(*query);
    EXPECT_EQ(back.athlete_number, 101);
    EXPECT_EQ(back.value, 12.56);
}

TEST_F(RaceRecords, RacesInABurstOrAfterTheClockWentBackKeepDistinctKeys)
{
    // A timer unit sending its memory again: many races within one step.
    QList<qint32> keys;
    for (int i = 0; i < 5; ++i)
        keys << process(addNewRaceTemplate);
    EXPECT_EQ(keys, (QList<qint32>{fixedKey, fixedKey + 1, fixedKey + 2, fixedKey + 3, fixedKey + 4}));

    // The clock set back by an hour hands out keys of races already stored.
    const qint32 early = process(addNewRaceTemplate);
    clockTime = fixedTime.addSecs(-3600);
    RACE::setLastRaceId(0); // as after a restart
    const qint32 stored = RACE::keyFromDayCount(DayCount::fromDateTime(clockTime));
    exec("insert into races (race_id_pk, completed) values (" + QByteArray::number(stored) + ",0)");
    EXPECT_EQ(process(addNewRaceTemplate), stored + 1);
    EXPECT_EQ(count("races"), 8);
    EXPECT_NE(early, stored);
}

TEST_F(RaceRecords, NewRaceNeverTakesTheKeyOfPlacesLeftBehind)
{
    // A deleted race leaves its places behind; a restart at the same clock
    // step must not hand its key to the next race, which would show them.
    const qint32 deleted = process("10:00,18/05/24,5,LANE,U12G,100M,,,1,12.34,B01,2,12.56,B02,");
    exec("update result set athlete_number = 101 where place = '1'");
    exec("delete from races where race_id_pk = " + QByteArray::number(deleted));
    RACE::setLastRaceId(0);

    const qint32 fresh = process("10:01,18/05/24,6,LANE,U12G,200M,,,1,25.01,B03,");
    EXPECT_NE(fresh, deleted);
    EXPECT_EQ(rows("select place, value, lane, athlete_number is null from result where race_id_pk = "
                   + QByteArray::number(fresh)),
              (QList<QVariantList>{{QStringLiteral("1"), 25.01, QStringLiteral("B03"), 1}}));
    EXPECT_EQ(count("result where race_id_pk = " + QByteArray::number(deleted)), 2);
}

TEST_F(RaceRecords, RaceTextIsStoredWholeOrUpToTheFailingPlace)
{
    const qint32 key = storeRaceText(addNewRaceTemplate, *query);
    EXPECT_EQ(key, fixedKey);
    EXPECT_EQ(count("result"), 12);

    clockTime = fixedTime.addSecs(60);
    try {
        storeRaceText("10:00,18/05/24,5,LANE,U12G,100M,,,1,12.34,B01,2,12.56,B02,3,12.3..4,B03,4,13.00,B04,", *query);
        FAIL() << "a time of 12.3..4 was accepted";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'3..4' is not a valid floating point value");
    }
    EXPECT_EQ(count("races"), 2);
    EXPECT_EQ(count("result where race_id_pk <> " + QByteArray::number(fixedKey)), 2);
}
