#include "StoreFixture.h"

#include "store/DataSet.h"
#include "store/Exception.h"

#include <QSignalSpy>
#include <QSqlQuery>

namespace {

class DataSetTest : public StoreFixture {
protected:
    void sql(const QString& statement) { sqlprobe::exec(db->connection(), statement); }

    void addAthletes()
    {
        sql(QStringLiteral("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (105, 'Ann', 'smith', 12, 'Blue', 'F')"));
        sql(QStringLiteral("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (101, 'Bob', 'Smith', 13, 'Red', 'M')"));
        sql(QStringLiteral("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (110, 'Cy', 'Adams', 12, 'Red', 'M')"));
        sql(QStringLiteral("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (102, 'Di', 'O''Brien', 14, 'Blue', 'F')"));
        sql(QStringLiteral("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (103, 'Ed', 'Smithers', 12, 'Blue', 'M')"));
    }

    // Column values of every row, in the dataset's order.
    static QStringList column(DataSet& ds, const QByteArray& name)
    {
        QStringList out;
        const int f = ds.fieldIndex(name);
        for (int row = 0; row < ds.RecordCount(); ++row)
            out << ds.value(row, f).toString();
        return out;
    }

    // The result table as the race details window declares it.
    std::unique_ptr<DataSet> resultTable()
    {
        auto ds = std::make_unique<DataSet>(*db, "result");
        ds->addLookupField({"aname", FieldKind::Text, "athlete_number", "athletes", "number", "firstname"});
        ds->addLookupField({"bname", FieldKind::Text, "athlete_number", "athletes", "number", "surname"});
        ds->addLookupField({"cage", FieldKind::Integer, "athlete_number", "athletes", "number", "age"});
        ds->addLookupField({"event", FieldKind::Text, "race_id_pk", "races", "race_id_pk", "event"});
        ds->addLookupField({"dpb", FieldKind::Float, "athlete_number;event", "pb", "athlete_number;event", "value"});
        ds->addLookupField({"fgender", FieldKind::Text, "athlete_number", "athletes", "number", "gender"});
        ds->addLookupField({"grecord", FieldKind::Float, "cage;event;fgender", "record", "age;event;gender", "value"});
        return ds;
    }
};

TEST_F(DataSetTest, NamedIndexesGiveTheirKeyOrder)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.Open();
    EXPECT_EQ(column(athletes, "number"), (QStringList{"105", "101", "110", "102", "103"})) << "natural order";

    athletes.setIndexName("PrimaryKey");
    EXPECT_EQ(column(athletes, "number"), (QStringList{"101", "102", "103", "105", "110"}));

    // surname, then first name, then number; names compare without case.
    athletes.setIndexName("Surname");
    EXPECT_EQ(column(athletes, "number"), (QStringList{"110", "102", "105", "101", "103"}));

    EXPECT_THROW(athletes.setIndexName("NoSuchIndex"), EDatabaseError);
}

TEST_F(DataSetTest, ValueIndexListsNoTimeResultsLast)
{
    sql(QStringLiteral("INSERT INTO result (race_id_pk, place, value, lane) VALUES (1, '1', 99999, 'B01')"));
    sql(QStringLiteral("INSERT INTO result (race_id_pk, place, value, lane) VALUES (1, '2', 12.5, 'B02')"));
    sql(QStringLiteral("INSERT INTO result (race_id_pk, place, value, lane) VALUES (2, '1', 11.0, 'B01')"));
    sql(QStringLiteral("INSERT INTO result (race_id_pk, place, value, lane) VALUES (1, '3', 12.1, 'X13')"));
    DataSet results(*db, "result");
    results.setIndexName("Value");
    results.setFilter(QStringLiteral("race_id_pk = 1"));
    results.setFiltered(true);
    results.Open();
    EXPECT_EQ(column(results, "value"), (QStringList{"12.1", "12.5", "99999"}));
    results.setIndexName("Lane");
    EXPECT_EQ(column(results, "lane"), (QStringList{"B01", "B02", "X13"})) << "the filter stays";
}

TEST_F(DataSetTest, FiltersAreCaseInsensitiveOnRequestAndGoToTheFirstRow)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.setCaseInsensitive(true);
    athletes.setIndexName("Surname");
    athletes.Open();
    athletes.Last();
    athletes.setFilter(QStringLiteral("surname = 'SMI*'"));
    athletes.setFiltered(true);
    EXPECT_EQ(column(athletes, "number"), (QStringList{"105", "101", "103"}));
    EXPECT_EQ(athletes.RecNo(), 0);

    athletes.setFilter(QStringLiteral("surname = 'O''Brien'"));
    EXPECT_EQ(column(athletes, "number"), (QStringList{"102"}));

    athletes.setFiltered(false);
    EXPECT_EQ(athletes.RecordCount(), 5);

    DataSet exact(*db, "athletes");
    exact.Open();
    exact.setFilter(QStringLiteral("surname = 'smi*'"));
    exact.setFiltered(true);
    EXPECT_EQ(column(exact, "number"), (QStringList{"105"}));
}

TEST_F(DataSetTest, BadFilterRaisesAndLeavesFilterAndRows)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.Open();
    athletes.setFilter(QStringLiteral("gender = 'F'"));
    athletes.setFiltered(true);
    ASSERT_EQ(athletes.RecordCount(), 2);

    EXPECT_THROW(athletes.setFilter(QStringLiteral("nosuchfield = 1")), EFilterError);
    EXPECT_THROW(athletes.setFilter(QStringLiteral("surname = 'O'Brien'")), EFilterError);
    EXPECT_EQ(athletes.Filter(), QStringLiteral("gender = 'F'"));
    EXPECT_EQ(athletes.RecordCount(), 2);

    DataSet fresh(*db, "athletes");
    fresh.Open();
    fresh.setFilter(QStringLiteral("age >"));
    EXPECT_THROW(fresh.setFiltered(true), EFilterError);
    EXPECT_FALSE(fresh.Filtered());
    EXPECT_EQ(fresh.RecordCount(), 5);
}

TEST_F(DataSetTest, FindFirstAndNextSearchEvenWithFilteringOff)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.setIndexName("PrimaryKey");
    athletes.Open();
    athletes.setFilter(QStringLiteral("age = 12"));
    ASSERT_TRUE(athletes.FindFirst());
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 103);
    ASSERT_TRUE(athletes.FindNext());
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 105);
    ASSERT_TRUE(athletes.FindNext());
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 110);
    EXPECT_FALSE(athletes.FindNext());
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 110) << "a failed find stays put";
    EXPECT_EQ(athletes.RecordCount(), 5);
}

TEST_F(DataSetTest, LookupsFollowKeysIncludingOtherLookups)
{
    addAthletes();
    sql(QStringLiteral("INSERT INTO races (race_id_pk, number, event, completed, age) VALUES (7, 1, '100M', 0, 12)"));
    sql(QStringLiteral("INSERT INTO pb (athlete_number, event, value) VALUES (105, '100M', 14.02)"));
    sql(QStringLiteral("INSERT INTO pb (athlete_number, event, value) VALUES (105, '200M', 30.5)"));
    sql(QStringLiteral("INSERT INTO record (gender, event, age, value, type) VALUES ('F', '100M', 12, 13.5, 1)"));
    // A second record row for the same age, event and gender must not
    // duplicate the result row.
    sql(QStringLiteral("INSERT INTO record (gender, event, age, value, type) VALUES ('F', '100M', 12, 13.9, 2)"));
    sql(QStringLiteral("INSERT INTO record (gender, event, age, value, type) VALUES ('M', '100M', 12, 12.9, 1)"));
    sql(QStringLiteral("INSERT INTO result (race_id_pk, place, value, lane, athlete_number) VALUES (7, '1', 13.4, 'B01', 105)"));
    sql(QStringLiteral("INSERT INTO result (race_id_pk, place, value, lane, athlete_number) VALUES (7, '2', 13.6, 'B02', 999)"));
    sql(QStringLiteral("INSERT INTO result (race_id_pk, place, value, lane) VALUES (7, '3', 14.0, 'B03')"));

    auto results = resultTable();
    results->Open();
    ASSERT_EQ(results->RecordCount(), 3);

    EXPECT_EQ(results->FieldByName("aname").AsString(), QByteArray("Ann"));
    EXPECT_EQ(results->FieldByName("bname").AsString(), QByteArray("smith"));
    EXPECT_EQ(results->FieldByName("cage").AsInteger(), 12);
    EXPECT_EQ(results->FieldByName("event").AsString(), QByteArray("100M"));
    EXPECT_DOUBLE_EQ(results->FieldByName("dpb").AsFloat(), 14.02);
    EXPECT_EQ(results->FieldByName("fgender").AsString(), QByteArray("F"));
    EXPECT_DOUBLE_EQ(results->FieldByName("grecord").AsFloat(), 13.5) << "the first matching record row";

    for (int row : {1, 2}) {
        results->moveTo(row);
        for (const char* f : {"aname", "bname", "cage", "dpb", "fgender", "grecord"})
            EXPECT_TRUE(results->FieldByName(f).IsNull()) << f << " row " << row;
        EXPECT_EQ(results->FieldByName("event").AsString(), QByteArray("100M"));
        EXPECT_EQ(results->FieldByName("cage").AsInteger(), 0);
        EXPECT_EQ(results->FieldByName("aname").AsString(), QByteArray());
    }
    EXPECT_THROW(results->setFieldValue("aname", QStringLiteral("x")), EDatabaseError);
}

TEST_F(DataSetTest, EditingPostsWhenTheCursorMovesAndCancelAbandons)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.setIndexName("PrimaryKey");
    athletes.Open();
    athletes.setFieldValue("surname", QStringLiteral("Lee"));
    EXPECT_EQ(athletes.state(), DataSet::State::Edit);
    EXPECT_EQ(athletes.FieldByName("surname").AsString(), QByteArray("Lee")) << "the edit shows at once";
    EXPECT_EQ(scalar("SELECT surname FROM athletes WHERE number = 101").toString(), QStringLiteral("Smith"));
    athletes.Next();
    EXPECT_EQ(athletes.state(), DataSet::State::Browse);
    EXPECT_EQ(scalar("SELECT surname FROM athletes WHERE number = 101").toString(), QStringLiteral("Lee"));

    athletes.setFieldValue("age", QStringLiteral("40"));
    athletes.Cancel();
    EXPECT_EQ(athletes.FieldByName("age").AsInteger(), 14);
    athletes.Next();
    EXPECT_EQ(scalar("SELECT age FROM athletes WHERE number = 102").toInt(), 14);

    try {
        athletes.setFieldValue("age", QStringLiteral("9B"));
        FAIL() << "9B accepted as an age";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "''9B'' is not a valid integer value");
    }
    athletes.setFieldValue("age", QString());
    athletes.Post();
    EXPECT_TRUE(scalar("SELECT age FROM athletes WHERE number = 103").isNull()) << "an empty text stores null";

    athletes.setFieldValue("team", QStringLiteral("Gold"));
    athletes.Close();
    EXPECT_EQ(scalar("SELECT team FROM athletes WHERE number = 103").toString(), QStringLiteral("Gold"))
        << "closing stores the row in editing";
}

TEST_F(DataSetTest, FailingPostKeepsTheRowInEditing)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.setIndexName("PrimaryKey");
    athletes.Open();
    athletes.setFieldValue("number", 105); // taken by another athlete
    EXPECT_THROW(athletes.Next(), EDatabaseError);
    EXPECT_EQ(athletes.state(), DataSet::State::Edit);
    EXPECT_EQ(athletes.RecNo(), 0);
    athletes.Cancel();
    athletes.Next();
    EXPECT_EQ(athletes.RecNo(), 1);
}

TEST_F(DataSetTest, PostThatChangesNoRowRaisesAndKeepsTheEdit)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.setIndexName("PrimaryKey");
    athletes.Open();
    athletes.setFieldValue("team", QStringLiteral("Green")); // athlete 101
    // The rows go, as an import empties the table, and a new athlete comes
    // in: it must not receive the edit of the row that went.
    sql(QStringLiteral("DELETE FROM athletes"));
    sql(QStringLiteral("INSERT INTO athletes (number, firstname, team) VALUES (33, 'Zoe', 'Gold')"));
    try {
        athletes.Post();
        FAIL() << "a post that changed no row succeeded";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Row was changed or deleted since it was read"));
    }
    EXPECT_EQ(athletes.state(), DataSet::State::Edit);
    EXPECT_EQ(athletes.FieldByName("team").AsString(), QByteArray("Green")) << "the edit is kept";
    EXPECT_EQ(rows("SELECT number, firstname, team FROM athletes"),
              (QList<QVariantList>{{33, QStringLiteral("Zoe"), QStringLiteral("Gold")}}));
    athletes.Cancel();
    athletes.Refresh();
    EXPECT_EQ(column(athletes, "number"), (QStringList{"33"}));
}

TEST_F(DataSetTest, InsertPostsANewRowAndAnUntouchedInsertIsAbandoned)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.setIndexName("PrimaryKey");
    athletes.Open();
    athletes.moveTo(2);
    QSignalSpy inserted(&athletes, &DataSet::rowInserted);
    athletes.Insert();
    EXPECT_EQ(athletes.RecNo(), 2);
    EXPECT_EQ(athletes.RecordCount(), 6);
    EXPECT_EQ(inserted.count(), 1);
    athletes.setFieldValue("number", QStringLiteral("120"));
    athletes.setFieldValue("surname", QStringLiteral("Zed"));
    athletes.First();
    EXPECT_EQ(scalar("SELECT surname FROM athletes WHERE number = 120").toString(), QStringLiteral("Zed"));
    EXPECT_EQ(athletes.RecordCount(), 6);
    athletes.moveTo(2);
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 120) << "the new row stays where it was typed";

    athletes.Insert();
    athletes.moveTo(4);
    EXPECT_EQ(athletes.RecordCount(), 6);
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 103) << "the target row, not the one after it";
    EXPECT_EQ(count("athletes"), 6);

    athletes.Append();
    EXPECT_EQ(athletes.RecNo(), 6);
    athletes.Cancel();
    EXPECT_EQ(athletes.RecordCount(), 6);

    athletes.Refresh();
    EXPECT_EQ(column(athletes, "number"), (QStringList{"101", "102", "103", "105", "110", "120"}));
}

TEST_F(DataSetTest, InsertedRaceRowGetsItsRequiredCompletedFlag)
{
    DataSet races(*db, "races");
    races.Open();
    races.Insert();
    races.setFieldValue("race_id_pk", 5);
    races.Post();
    EXPECT_EQ(scalar("SELECT completed FROM races WHERE race_id_pk = 5").toInt(), 0);
    races.setFieldValue("completed", QStringLiteral("True"));
    races.setFieldValue("datetime", QStringLiteral("2026-12-09 10:35:00"));
    races.Post();
    EXPECT_EQ(scalar("SELECT completed FROM races").toInt(), 1);
    EXPECT_EQ(scalar("SELECT datetime FROM races").toString(), QStringLiteral("2026-12-09 10:35:00"));
    EXPECT_TRUE(races.FieldByName("completed").AsBoolean());
}

TEST_F(DataSetTest, DeleteRemovesTheCurrentRowAndRefreshKeepsTheCurrentRow)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.setIndexName("PrimaryKey");
    athletes.Open();
    athletes.moveTo(1); // 102
    athletes.Delete();
    EXPECT_EQ(count("athletes WHERE number = 102"), 0);
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 103);
    athletes.Last();
    athletes.Delete();
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 105) << "the last row is deleted: the new last";

    sql(QStringLiteral("INSERT INTO athletes (number) VALUES (100)"));
    athletes.Refresh();
    EXPECT_EQ(athletes.FieldByName("number").AsInteger(), 105) << "same row after a refresh";
    EXPECT_EQ(athletes.RecNo(), 3);

    DataSet empty(*db, "event");
    empty.Open();
    EXPECT_TRUE(empty.Eof());
    EXPECT_NO_THROW(empty.Delete());
    EXPECT_TRUE(empty.FieldByName("event").IsNull());
}

TEST_F(DataSetTest, CursorMovesSetEofAndBof)
{
    addAthletes();
    DataSet athletes(*db, "athletes");
    athletes.Open();
    EXPECT_TRUE(athletes.Bof());
    EXPECT_FALSE(athletes.Eof());
    int seen = 0;
    for (athletes.First(); !athletes.Eof(); athletes.Next())
        ++seen;
    EXPECT_EQ(seen, 5);
    EXPECT_EQ(athletes.RecNo(), 4);
    athletes.Prior();
    EXPECT_FALSE(athletes.Eof());
    EXPECT_THROW(DataSet(*db, "nosuchtable"), EDatabaseError);
}

} // namespace
