#include "StoreFixture.h"

#include "store/ChangeWatch.h"
#include "store/DataSet.h"
#include "store/DatabaseLink.h"
#include "store/Exception.h"
#include "store/Race.h"
#include "store/RaceText.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

namespace {

// Two stations on one meet: this test's connection and another one to the
// same tables, as a second copy of the program has.
class TwoConnections : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        other = std::make_unique<Database>(settings, dir.path(), QStringLiteral("other station"));
        atOther("INSERT INTO result (race_id_pk, place, value, lane) VALUES (7, '1', 12.5, 'B01')");
        atOther("INSERT INTO result (race_id_pk, place, value, lane) VALUES (7, '2', 13.0, 'B02')");
    }
    void TearDown() override
    {
        other.reset();
        StoreFixture::TearDown();
    }

    void atOther(const QString& statement) { sqlprobe::exec(other->connection(), statement); }

    static QString failureOf(const std::function<void()>& post)
    {
        try {
            post();
        } catch (const EDatabaseError& e) {
            return e.message();
        }
        return QStringLiteral("<stored>");
    }

    std::unique_ptr<Database> other;
};

const QString changedElsewhere = QStringLiteral(
    "This row was changed at another station since it was read, and your change was not stored. The grid now "
    "shows the row as it is stored; enter your change again if it is still wanted.");

TEST_F(TwoConnections, PostOverAChangeMadeAtAnotherStationIsRefusedAndShowsTheStoredRow)
{
    DataSet results(*db, "result");
    results.setIndexName("PrimaryKey");
    results.Open();
    ASSERT_TRUE(results.FieldByName("athlete_number").IsNull());

    // Both scan into place 1: the other station first.
    atOther("UPDATE result SET athlete_number = 101 WHERE place = '1'");
    results.setFieldValue("athlete_number", 205);
    EXPECT_EQ(failureOf([&] { results.Next(); }), changedElsewhere);
    EXPECT_EQ(results.state(), DataSet::State::Browse);
    EXPECT_EQ(results.RecNo(), 0);
    EXPECT_EQ(results.FieldByName("athlete_number").AsInteger(), 101) << "the grid shows the stored number";

    // Entered again over what is now shown, it is stored.
    results.setFieldValue("athlete_number", 205);
    results.Next();
    // A field the other station did not touch is no conflict: its change
    // to place 2's number stays, and so does this station's time.
    atOther("UPDATE result SET athlete_number = 102 WHERE place = '2'");
    results.setFieldValue("value", 12.75);
    results.Post();
    EXPECT_EQ(rows("SELECT athlete_number, value FROM result ORDER BY place"),
              (QList<QVariantList>{{205, 12.5}, {102, 12.75}}));

    // A delete is refused when any field of the row changed meanwhile, and
    // a row the other station deleted meanwhile is simply gone.
    ASSERT_EQ(results.FieldByName("lane").AsString(), QByteArray("B02")); // as the grid shows it
    atOther("UPDATE result SET lane = 'B09' WHERE place = '2'");
    EXPECT_EQ(failureOf([&] { results.Delete(); }), changedElsewhere);
    EXPECT_EQ(results.FieldByName("lane").AsString(), QByteArray("B09"));
    EXPECT_EQ(count("result"), 2);
    results.Delete();
    atOther("DELETE FROM result");
    results.Delete();
    EXPECT_EQ(count("result"), 0);
    EXPECT_TRUE(results.IsEmpty());
}

TEST_F(TwoConnections, WatchSeesWhatAnotherStationStoresAndNothingElse)
{
    ChangeWatch watch(*db);
    EXPECT_FALSE(watch.changedElsewhere());
    atOther("INSERT INTO races (race_id_pk, completed) VALUES (40, 0)");
    EXPECT_TRUE(watch.changedElsewhere()) << "a race stored";
    EXPECT_FALSE(watch.changedElsewhere()) << "seen once";
    atOther("SELECT COUNT(*) FROM result");
    EXPECT_FALSE(watch.changedElsewhere()) << "another station only reading";
    atOther("UPDATE result SET athlete_number = 101 WHERE place = '1'");
    EXPECT_TRUE(watch.changedElsewhere()) << "a scan";
    // Edits that change no count of rows and no number in them.
    atOther("UPDATE result SET lane = 'B07' WHERE place = '1'");
    EXPECT_TRUE(watch.changedElsewhere()) << "a lane corrected";
    atOther("UPDATE result SET athlete_number = 102 WHERE place = '1'");
    atOther("UPDATE result SET athlete_number = 101 WHERE place = '2'");
    atOther("UPDATE result SET athlete_number = 102 WHERE place = '2'");
    atOther("UPDATE result SET athlete_number = 101 WHERE place = '1'");
    EXPECT_TRUE(watch.changedElsewhere()) << "two numbers swapped";
    atOther("UPDATE races SET completed = 1 WHERE race_id_pk = 40");
    EXPECT_TRUE(watch.changedElsewhere()) << "a race completed";
    EXPECT_FALSE(watch.changedElsewhere());
}

TEST_F(TwoConnections, RaceReadWhileAnotherStationStoresIsStillStored)
{
    // The event lookup of this station's race, then the other station's
    // commit, then this station's store, as the program stores a race.
    exec("INSERT INTO event (event, tg_event) VALUES ('100 Metres', '100M')");
    QByteArray text = "10:00,18/05/24,5,LANE,U12G,100M,,,1,12.34,B01,";
    RACE race;
    bool singleLine = false;
    race.parse(text, singleLine, *query);
    atOther("INSERT INTO races (race_id_pk, completed) VALUES (1, 0)");
    db->inTransaction([&] { race.store(*query); });
    EXPECT_EQ(scalar("SELECT event FROM races WHERE race_id_pk <> 1").toString(), QStringLiteral("100 Metres"));
}

// This station's connection ended on the server (a restart, an
// administrator): the next statement says so in an official's words, and
// the link opens it again; the query object, a dataset's prepared fetch
// and the change check all work on the new connection.
TEST_F(TwoConnections, ConnectionEndedOnTheServerIsOpenedAgainAndEveryStatementFollows)
{
    if (!onServer())
        GTEST_SKIP() << "a file's connection cannot be ended";
    DatabaseLink link(*db);
    atOther("INSERT INTO races (race_id_pk, completed) VALUES (40, 0)");
    DataSet races(*db, "races");
    races.Open();
    ASSERT_EQ(races.RecordCount(), 1);
    ASSERT_EQ(races.FieldByName("race_id_pk").AsInteger(), 40) << "its fetch prepared";
    ChangeWatch watch(*db);
    const int backend = scalar("SELECT pg_backend_pid()").toInt();
    ASSERT_NE(backend, 0);
    atOther(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(backend));

    query->setSQL("INSERT INTO races (race_id_pk, completed) VALUES (41, 0)");
    const QString failure = failureOf([&] { query->ExecSQL(); });
    EXPECT_TRUE(failure.startsWith("The meet database on ") && failure.endsWith(" Retrying every 2 seconds."))
        << failure.toStdString();
    EXPECT_FALSE(link.connected());
    EXPECT_THROW(watch.changedElsewhere(), EConnectionLost);

    EXPECT_TRUE(link.retry());
    EXPECT_EQ(failureOf([&] { query->ExecSQL(); }), "<stored>");
    EXPECT_NO_THROW(watch.changedElsewhere());
    races.Refresh();
    ASSERT_EQ(races.RecordCount(), 2);
    races.Last();
    EXPECT_EQ(races.FieldByName("race_id_pk").AsInteger(), 41) << "the fetch prepared again";
}

// A lock another program holds on the races (a backup, a long edit) makes
// the store wait 5 seconds at most; it is then refused like a lost
// connection, and stored once the lock is gone.
TEST_F(TwoConnections, LockHeldTooLongElsewhereRefusesTheStoreWithin5SecondsAndItIsStoredLater)
{
    if (!onServer())
        GTEST_SKIP() << "SQLite waits its busy timeout";
    DatabaseLink link(*db);
    QSqlDatabase locker = other->connection();
    ASSERT_TRUE(locker.transaction());
    atOther("LOCK TABLE races IN ACCESS EXCLUSIVE MODE");
    QElapsedTimer waited;
    waited.start();
    query->setSQL("INSERT INTO races (race_id_pk, completed) VALUES (42, 0)");
    const QString failure = failureOf([&] { query->ExecSQL(); });
    EXPECT_LT(waited.elapsed(), 8000);
    EXPECT_TRUE(failure.contains("another program has held a lock on its tables for too long")) << failure.toStdString();
    EXPECT_FALSE(link.connected());
    EXPECT_GT(link.retryTimer()->remainingTime(), 1000) << "the lock is given time to go";
    ASSERT_TRUE(locker.commit());
    EXPECT_TRUE(link.retry());
    EXPECT_EQ(failureOf([&] { query->ExecSQL(); }), "<stored>");

    // A race whose places meet the lock is not stored in part: the whole
    // of it waits, after one lock timeout, not one for every place.
    ASSERT_TRUE(locker.transaction());
    atOther("LOCK TABLE result IN ACCESS EXCLUSIVE MODE");
    waited.restart();
    EXPECT_THROW(storeRace("10:00,18/05/24,5,LANE,U12G,100M,,,1,12.34,B01,2,13.00,B02,", *query), EConnectionLost);
    EXPECT_LT(waited.elapsed(), 8000);
    ASSERT_TRUE(locker.commit());
    EXPECT_TRUE(link.retry());
    EXPECT_EQ(count("races"), 1) << "race 42 alone";
}

} // namespace
