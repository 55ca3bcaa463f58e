#include "store/Athlete.h"
#include "store/Event.h"
#include "store/Exception.h"
#include "store/Pbest.h"
#include "store/Record.h"
#include "store/StoreFixture.h"

#include <gtest/gtest.h>

namespace {

template <typename Call>
QString failure(Call call)
{
    try {
        call();
    } catch (const Exception& e) {
        return e.message();
    }
    return {};
}

class ReferenceRecords : public StoreFixture {};

} // namespace

TEST_F(ReferenceRecords, AthleteLineIsStoredColumnByColumn)
{
    ATHLETE a;
    a.parse(" A,101,Ann,Lee,12,Blue,F,ignored,fields \r\n");
    EXPECT_EQ(a.number, 101);
    EXPECT_EQ(a.firstname, "Ann");
    EXPECT_EQ(a.surname, "Lee");
    EXPECT_EQ(a.age, 12);
    EXPECT_EQ(a.team, "Blue");
    EXPECT_EQ(a.gender, "F");
    a.store(*query);

    const auto stored = rows("select number, firstname, surname, age, team, gender from athletes");
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored[0], (QVariantList{101, QStringLiteral("Ann"), QStringLiteral("Lee"), 12,
                                       QStringLiteral("Blue"), QStringLiteral("F")}));
}

TEST_F(ReferenceRecords, MissingTextFieldsReadEmpty)
{
    ATHLETE a;
    a.parse("A,7,Bo,,9");
    EXPECT_EQ(a.surname, "");
    EXPECT_EQ(a.team, "");
    EXPECT_EQ(a.gender, "");
    a.store(*query);
    EXPECT_EQ(scalar("select surname from athletes where number = 7").toString(), QString());
}

TEST_F(ReferenceRecords, WrongKindLetterIsRefusedByEachClass)
{
    const char* lines[] = {"a,101,Ann,Lee,12,Blue,F", "", "AB,101", " ,101", "P,101,100M,14.02"};
    for (const char* line : lines) {
        ATHLETE a;
        EXPECT_EQ(failure([&] { a.parse(line); }), QStringLiteral("Invalid Athlete CSV string")) << line;
    }
    EVENT e;
    EXPECT_EQ(failure([&] { e.parse("e,100M"); }), QStringLiteral("Invalid Event CSV string"));
    EXPECT_EQ(failure([&] { e.parse("A,100M"); }), QStringLiteral("Invalid Event CSV string"));
    RECORD r;
    EXPECT_EQ(failure([&] { r.parse("r,F,100M,12,13.5,1"); }), QStringLiteral("Invalid Record CSV string"));
    PBEST p;
    EXPECT_EQ(failure([&] { p.parse("PB,101,100M,14.02"); }), QStringLiteral("Invalid PBest CSV string"));
}

TEST_F(ReferenceRecords, FieldsThatDoNotConvertNameTheTextAndLeaveTheRecord)
{
    ATHLETE a;
    a.parse("A,5,Kim,Ng,11,Red,M");
    EXPECT_EQ(failure([&] { a.parse("A,,Ann,Lee,12"); }), QStringLiteral("'''' is not a valid integer value"));
    EXPECT_EQ(failure([&] { a.parse("A,101,Ann,Lee,twelve"); }),
              QStringLiteral("''twelve'' is not a valid integer value"));
    EXPECT_EQ(failure([&] { a.parse("A,101,Ann,Lee"); }), QStringLiteral("'''' is not a valid integer value"));
    EXPECT_EQ(a.number, 5);
    EXPECT_EQ(a.surname, "Ng");

    RECORD r;
    EXPECT_EQ(failure([&] { r.parse("R,F,100M,12,13.5.1,1"); }),
              QStringLiteral("'13.5.1' is not a valid floating point value"));
    EXPECT_EQ(failure([&] { r.parse("R,F,100M,U12,13.5,1"); }),
              QStringLiteral("''U12'' is not a valid integer value"));
    EXPECT_EQ(failure([&] { r.parse("R,F,100M,12,13.5"); }), QStringLiteral("'''' is not a valid integer value"));
    EXPECT_EQ(r.event, "");

    PBEST p;
    EXPECT_EQ(failure([&] { p.parse("P,101,100M,"); }), QStringLiteral("'' is not a valid floating point value"));
    EXPECT_EQ(failure([&] { p.parse("P,#101,100M,14"); }), QStringLiteral("''#101'' is not a valid integer value"));
    EXPECT_EQ(p.event, "");
    EXPECT_EQ(count("athletes") + count("record") + count("pb"), 0);
}

TEST_F(ReferenceRecords, RecordAndPersonalBestKeepTheirValues)
{
    RECORD r;
    r.parse("R,F,100M,12,13.5,1");
    EXPECT_EQ(r.type, 1);
    r.store(*query);
    PBEST p;
    p.parse("P,101,100M,14.02");
    p.store(*query);
    p.parse("P,101,200M,0.1");
    p.store(*query);

    EXPECT_EQ(rows("select gender, event, age, value, type from record"),
              (QList<QVariantList>{{QStringLiteral("F"), QStringLiteral("100M"), 12, 13.5, 1}}));
    EXPECT_EQ(rows("select athlete_number, event, value from pb order by event"),
              (QList<QVariantList>{{101, QStringLiteral("100M"), 14.02}, {101, QStringLiteral("200M"), 0.1}}));
}

TEST_F(ReferenceRecords, EventIsStoredOnceWithANullCodeAndDuplicatesAreIgnored)
{
    EVENT e;
    e.parse("E,100M,100,more");
    EXPECT_EQ(e.event, "100M");
    EXPECT_EQ(e.tg_event, "");
    e.store(*query);
    EXPECT_NO_THROW(e.store(*query));
    EXPECT_EQ(rows("select event, tg_event is null from event"), (QList<QVariantList>{{QStringLiteral("100M"), 1}}));

    // Only the duplicate is ignored: an event the table refuses (a code
    // longer than its column) stops the import at its line rather than
    // vanishing without a word.
    EVENT tooLong;
    tooLong.parse("E,ELEVENCHARS");
    EXPECT_THROW(tooLong.store(*query), Exception);
}

TEST_F(ReferenceRecords, LookupMapsATimerCodeToTheEventName)
{
    exec("insert into event (event, tg_event) values ('100 Metres', '100M')");
    exec("insert into event (event, tg_event) values ('Relay', 'R4')");
    EVENT e;
    ASSERT_TRUE(e.lookup(*query, "100M"));
    EXPECT_EQ(e.event, "100 Metres");
    EXPECT_EQ(e.tg_event, "100M");

    // Case matters, and no match leaves the record as it was.
    EXPECT_FALSE(e.lookup(*query, "100m"));
    EXPECT_FALSE(e.lookup(*query, ""));
    EXPECT_EQ(e.event, "100 Metres");
}

TEST_F(ReferenceRecords, UniqueKeysOfAthletesAndPersonalBestsAreEnforced)
{
    ATHLETE a;
    a.parse("A,101,Ann,Lee,12,Blue,F");
    a.store(*query);
    a.parse("A,101,Other,Person,13,Red,F");
    EXPECT_THROW(a.store(*query), EDatabaseError);

    PBEST p;
    p.parse("P,101,100M,14.02");
    p.store(*query);
    p.parse("P,101,100M,13.00");
    EXPECT_THROW(p.store(*query), EDatabaseError);

    EXPECT_EQ(count("athletes"), 1);
    EXPECT_EQ(scalar("select value from pb").toDouble(), 14.02);
}

TEST_F(ReferenceRecords, DeleteAllEmptiesItsOwnTableOnly)
{
    ATHLETE a;
    a.parse("A,1,A,B,10,T,M");
    a.store(*query);
    RECORD r;
    r.parse("R,M,100M,10,12,1");
    r.store(*query);
    PBEST p;
    p.parse("P,1,100M,13");
    p.store(*query);

    ATHLETE::deleteAll(*query);
    EXPECT_EQ(count("athletes"), 0);
    EXPECT_EQ(count("record"), 1);
    RECORD::deleteAll(*query);
    EXPECT_EQ(count("record"), 0);
    EXPECT_EQ(count("pb"), 1);
    PBEST::deleteAll(*query);
    EXPECT_EQ(count("pb"), 0);
}

TEST_F(ReferenceRecords, ApostrophesAndInjectionAttemptsAreStoredAsPlainText)
{
    ATHLETE a;
    a.parse("A,102,Se\xc3\xa1n,O'Brien,13,St Mary's,M");
    a.store(*query);
    a.parse("A,103,Eve,x');drop table pb;--,14,'',F");
    a.store(*query);
    RECORD r;
    r.parse("R,F,Kids' 60,9,9.9,2");
    r.store(*query);
    PBEST p;
    p.parse("P,102,Kids' 60,10.5");
    p.store(*query);
    EVENT e;
    e.parse("E,Kids' 60");
    e.store(*query);

    EXPECT_EQ(rows("select firstname, surname, team from athletes order by number"),
              (QList<QVariantList>{
                  {QString::fromUtf8("Se\xc3\xa1n"), QStringLiteral("O'Brien"), QStringLiteral("St Mary's")},
                  {QStringLiteral("Eve"), QStringLiteral("x');drop table pb;--"), QStringLiteral("''")}}));
    EXPECT_EQ(scalar("select event from record").toString(), QStringLiteral("Kids' 60"));
    EXPECT_EQ(scalar("select event from pb").toString(), QStringLiteral("Kids' 60"));
    EXPECT_EQ(scalar("select event from event").toString(), QStringLiteral("Kids' 60"));

    // A code typed on the Events page or sent by the timer unit cannot widen
    // the lookup either.
    exec("update event set tg_event = 'K60'");
    EVENT found;
    EXPECT_FALSE(found.lookup(*query, "' or '1'='1"));
    exec("update event set tg_event = 'K''60'");
    ASSERT_TRUE(found.lookup(*query, "K'60"));
    EXPECT_EQ(found.event, "Kids' 60");
}
