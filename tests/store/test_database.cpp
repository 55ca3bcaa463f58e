#include "StoreFixture.h"
#include "store/LondonClock.h"

#include "store/DataSet.h"
#include "store/DateTime.h"
#include "store/Dialect.h"
#include "store/Exception.h"
#include "store/PreparedStatements.h"
#include "store/StatementShape.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>


namespace {

// The tables or indexes of the database, by name. PostgreSQL's own keys of
// the hidden row identities (athletes_pkey and the like) are left out.
QStringList names(QSqlDatabase db, const QString& type)
{
    QSqlQuery q(db);
    if (db.driverName() == QLatin1String("QPSQL"))
        q.exec(type == u"table"
                   ? QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname = 'public' "
                                    "ORDER BY tablename COLLATE \"C\"")
                   : QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname = 'public' "
                                    "AND indexname NOT LIKE '%\\_pkey' ORDER BY indexname COLLATE \"C\""));
    else
        q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = '%1' AND name NOT LIKE 'sqlite_%' ORDER BY name").arg(type));
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

bool run(QSqlDatabase db, const QString& sql, QString* error = nullptr)
{
    QSqlQuery q(db);
    const bool ok = q.exec(sql);
    if (error)
        *error = q.lastError().text();
    return ok;
}

} // namespace

using DatabaseTest = StoreFixture;

TEST_F(DatabaseTest, NewFileHoldsTheSixTablesAndTheirNamedIndexes)
{
    EXPECT_EQ(QFile::exists(dir.filePath(QStringLiteral("VEXO_ACC.db"))), !onServer());
    EXPECT_EQ(names(db->connection(), QStringLiteral("table")),
              (QStringList{QStringLiteral("athletes"), QStringLiteral("event"), QStringLiteral("pb"),
                           QStringLiteral("races"), QStringLiteral("record"), QStringLiteral("result")}));
    EXPECT_EQ(names(db->connection(), QStringLiteral("index")),
              (QStringList{QStringLiteral("athletes_PrimaryKey"), QStringLiteral("athletes_Surname"),
                           QStringLiteral("event_PrimaryKey"), QStringLiteral("pb_PrimaryKey"),
                           QStringLiteral("races_PrimaryKey"), QStringLiteral("races_number"),
                           QStringLiteral("result_Lane"), QStringLiteral("result_PrimaryKey"),
                           QStringLiteral("result_Reference"), QStringLiteral("result_Value")}));
    if (!onServer()) {
        EXPECT_EQ(scalar("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
    }
}

TEST_F(DatabaseTest, EngineAssignsResultKeysAndRequiresCompleted)
{
    auto c = db->connection();
    ASSERT_TRUE(run(c, QStringLiteral("INSERT INTO result (race_id_pk, place) VALUES (1, '1')")));
    ASSERT_TRUE(run(c, QStringLiteral("INSERT INTO result (race_id_pk, place) VALUES (1, '2')")));
    EXPECT_EQ(scalar("SELECT max(result_id_pk) FROM result").toInt(), 2);

    QString error;
    EXPECT_FALSE(run(c, QStringLiteral("INSERT INTO races (race_id_pk) VALUES (5)"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("null"), Qt::CaseInsensitive) && error.contains(QStringLiteral("completed")))
        << error.toStdString();
}

TEST_F(DatabaseTest, UniquePrimaryKeysRefuseDuplicates)
{
    auto c = db->connection();
    EXPECT_TRUE(run(c, QStringLiteral("INSERT INTO athletes (number) VALUES (7)")));
    EXPECT_FALSE(run(c, QStringLiteral("INSERT INTO athletes (number) VALUES (7)")));
    EXPECT_TRUE(run(c, QStringLiteral("INSERT INTO pb (athlete_number, event) VALUES (7, '100M')")));
    EXPECT_FALSE(run(c, QStringLiteral("INSERT INTO pb (athlete_number, event) VALUES (7, '100M')")));
    EXPECT_TRUE(run(c, QStringLiteral("INSERT INTO pb (athlete_number, event) VALUES (7, '200M')")));
}

// A first start killed before its tables were committed leaves a file with
// none of them; a file can also have lost some. The next start completes it
// in this version's layout and keeps every row that is there.
TEST(DatabaseOpen, ExistingFileMissingTablesIsCompletedKeepingWhatIsThere)
{
    const auto layout = [](QSqlDatabase c) {
        QSqlQuery q(c);
        q.exec(QStringLiteral("PRAGMA user_version"));
        q.next();
        return QStringLiteral("%1 tables, %2 indexes, layout %3")
            .arg(names(c, QStringLiteral("table")).size())
            .arg(names(c, QStringLiteral("index")).size())
            .arg(q.value(0).toInt());
    };
    const auto rawOpen = [](const QTemporaryDir& dir, const QStringList& statements) {
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            raw.setDatabaseName(dir.filePath(QStringLiteral("VEXO_ACC.db")));
            ASSERT_TRUE(raw.open());
            for (const QString& sql : statements)
                ASSERT_TRUE(run(raw, sql)) << sql.toStdString();
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    };
    const QString expected = QStringLiteral("6 tables, 10 indexes, layout %1").arg(SqlDialect::layoutVersion);

    QTemporaryDir empty; // as the kill leaves it: the engine's file, no table
    rawOpen(empty, {QStringLiteral("PRAGMA journal_mode=WAL")});
    {
        Database db(empty.path());
        EXPECT_EQ(layout(db.connection()), expected);
        QString error;
        EXPECT_FALSE(run(db.connection(), QStringLiteral("INSERT INTO athletes (number, gender) VALUES (7, 'Boy')"), &error));
        EXPECT_TRUE(error.contains(QStringLiteral("athletes.gender holds at most 1 character"))) << error.toStdString();
    }

    QTemporaryDir some; // this layout, two tables lost
    {
        Database first(some.path());
        ASSERT_TRUE(run(first.connection(), QStringLiteral("INSERT INTO athletes (number, surname) VALUES (7, 'Lee')")));
        ASSERT_TRUE(run(first.connection(), QStringLiteral("DROP TABLE pb")));
        ASSERT_TRUE(run(first.connection(), QStringLiteral("DROP TABLE result")));
    }
    {
        Database db(some.path());
        EXPECT_EQ(layout(db.connection()), expected);
        QSqlQuery q(db.connection());
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT number, surname, row_id FROM athletes")));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(1).toString() + q.value(0).toString() + q.value(2).toString(), QStringLiteral("Lee71"));
    }

    QTemporaryDir older; // the first release's layout, some tables only
    rawOpen(older, {QStringLiteral("CREATE TABLE [athletes] ([number] INTEGER, [firstname] VARCHAR(20), [surname] "
                                   "VARCHAR(20), [age] SMALLINT, [team] VARCHAR(20), [gender] VARCHAR(1))"),
                    QStringLiteral("INSERT INTO athletes VALUES (110, 'Cy', 'Sol', 14, 'Red', 'Girl')")});
    {
        Database db(older.path());
        EXPECT_EQ(layout(db.connection()), expected);
        QSqlQuery q(db.connection());
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT gender, row_id FROM athletes")));
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toString() + q.value(1).toString(), QStringLiteral("Girl1"));
    }
}

TEST(DatabaseOpen, UnusableFileOrFolderGivesAClearError)
{
    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("VEXO_ACC.db")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    EXPECT_THROW(Database(dir.path()), EDatabaseError);
    EXPECT_THROW(Database(dir.filePath(QStringLiteral("no/such/folder"))), EDatabaseError);
    // A failed connect leaves no connection behind: the next one works.
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("VEXO_ACC.db"))));
    EXPECT_NO_THROW(Database(dir.path()));
}

TEST(Dialect, TranslatesDateLiteralsAndDistinctRowOutsideTextOnly)
{
    EXPECT_EQ(SqlDialect::translate("insert into races values (1,#2026/12/09 10:35#,'a#2026/12/09 10:35#b')"),
              QStringLiteral("insert into races values (1,'2026-12-09 10:35:00','a#2026/12/09 10:35#b')"));
    EXPECT_EQ(SqlDialect::translate("SELECT DISTINCTROW a FROM t WHERE x='DISTINCTROW it''s'"),
              QStringLiteral("SELECT a FROM t WHERE x='DISTINCTROW it''s'"));
    EXPECT_EQ(SqlDialect::translate("select NODISTINCTROW from t"), QStringLiteral("select NODISTINCTROW from t"));
    EXPECT_EQ(SqlDialect::translate("update races set [completed] = 1 where [hf] = '[x]'"),
              QStringLiteral("update races set \"completed\" = 1 where \"hf\" = '[x]'"));
    EXPECT_EQ(SqlDialect::translate("select 'O''Brien' # 1"), QStringLiteral("select 'O''Brien' # 1"));
}

TEST(Dialect, DateTimesStoreAsSortableTextAndReadBackAsDayCounts)
{
    const QDateTime t(QDate(2007, 10, 10), QTime(10, 35));
    const double days = DayCount::fromDateTime(t);
    EXPECT_NEAR(days, 39365.0 + (10 * 60 + 35) / 1440.0, 1e-9);
    EXPECT_EQ(SqlDialect::dayCountToStorage(days), QStringLiteral("2007-10-10 10:35:00"));
    EXPECT_NEAR(SqlDialect::dayCountFromStorage(QStringLiteral("2007-10-10 10:35:00")), days, 1e-9);
    EXPECT_EQ(SqlDialect::dayCountFromStorage(QVariant()), 0.0);
    EXPECT_EQ(DayCount::toDateTime(1.5), QDateTime(QDate(1899, 12, 31), QTime(12, 0)));
    EXPECT_EQ(DayCount::toDateTime(DayCount::fromDateTime(t)), t);

    QByteArray dates;
    for (const QVariant& stored : {QVariant(QStringLiteral("2007-10-10 10:35:00")), QVariant(QStringLiteral("2007-10-10")),
                                   QVariant(QStringLiteral("2007-02-30 10:35:00")), QVariant(QStringLiteral("2007-10-10T10:35")),
                                   QVariant(days), QVariant()})
        dates += SqlDialect::appendStoredDate(dates, stored) ? "|" : "-|";
    EXPECT_EQ(dates, "2007-10-10|2007-10-10|-|-|-|-|");
}

// 01:30 on 2026-03-29 never shows on a London clock (it goes from 01:00 to
// 02:00), yet a race stamped under another zone, or a time typed in, holds it.
TEST_F(DatabaseTest, DayCountsOfATimeInADaylightSavingGapDoNotDependOnTheZone)
{
    LondonClock london;
    const double days = QDate(1899, 12, 30).daysTo(QDate(2026, 3, 29)) + 1.5 / 24;

    EXPECT_NEAR(SqlDialect::dayCountFromStorage(QStringLiteral("2026-03-29 01:30:00")), days, 1e-9);
    EXPECT_NEAR(SqlDialect::dayCountFromStorage(QStringLiteral("2026-03-29 01:30")), days, 1e-9);
    EXPECT_EQ(SqlDialect::dayCountToStorage(days), QStringLiteral("2026-03-29 01:30:00"));
    EXPECT_EQ(DayCount::toDateTime(days).toString(QStringLiteral("dd/MM/yyyy HH:mm")), QStringLiteral("29/03/2026 01:30"));
    EXPECT_NEAR(DayCount::fromDateTime(DayCount::toDateTime(days)), days, 1e-9);

    exec("INSERT INTO races (race_id_pk, datetime, completed) VALUES (1, '2026-03-29 01:30:00', 0)");
    exec("INSERT INTO races (race_id_pk, datetime, completed) VALUES (2, '2026-03-28 09:00:00', 0)");
    DataSet races(*db, "races");
    races.Open();
    ASSERT_EQ(races.RecordCount(), 2);
    EXPECT_NEAR(races.value(0, races.fieldIndex("datetime")).toDouble(), days, 1e-9);
    races.Last();
    races.Edit();
    races.setFieldValue("datetime", QStringLiteral("2026-03-29 01:30"));
    races.Post();
    EXPECT_EQ(scalar("SELECT datetime FROM races WHERE race_id_pk = 2").toString(), QStringLiteral("2026-03-29 01:30:00"));
}

TEST(DatabaseOpen, FileOfTheFirstLayoutIsMigratedKeepingEveryRow)
{
    QTemporaryDir dir;
    {
        // The tables as the first release wrote them: rows addressed by the
        // engine's own row numbers, text widths declared but not enforced.
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("first"));
        raw.setDatabaseName(dir.filePath(QStringLiteral("VEXO_ACC.db")));
        ASSERT_TRUE(raw.open());
        for (const char* sql :
             {"CREATE TABLE [athletes] ([number] INTEGER, [firstname] VARCHAR(20), [surname] VARCHAR(20), "
              "[age] SMALLINT, [team] VARCHAR(20), [gender] VARCHAR(1))",
              "CREATE UNIQUE INDEX [athletes_PrimaryKey] ON [athletes] ([number])",
              "CREATE INDEX [athletes_Surname] ON [athletes] ([surname], [firstname], [number])",
              "CREATE TABLE [races] ([race_id_pk] INTEGER, [number] INTEGER, [datetime] DATETIME, "
              "[event] VARCHAR(10), [completed] BOOLEAN NOT NULL, [age] SMALLINT, [gender] VARCHAR(1), "
              "[heat] SMALLINT, [hf] VARCHAR(1), [mode] VARCHAR(20))",
              "CREATE UNIQUE INDEX [races_PrimaryKey] ON [races] ([race_id_pk])",
              "CREATE TABLE [result] ([result_id_pk] INTEGER PRIMARY KEY AUTOINCREMENT, [race_id_pk] INTEGER, "
              "[place] VARCHAR(3), [value] REAL, [lane] VARCHAR(3), [athlete_number] INTEGER)",
              "CREATE TABLE [event] ([event] VARCHAR(10), [tg_event] VARCHAR(10))",
              "CREATE TABLE [pb] ([athlete_number] INTEGER, [event] VARCHAR(10), [value] REAL)",
              "CREATE TABLE [record] ([gender] VARCHAR(1), [event] VARCHAR(10), [age] INTEGER, [value] REAL, "
              "[type] INTEGER)",
              "INSERT INTO athletes VALUES (105, 'Ann', 'Lee', 12, 'Blue', 'F')",
              "INSERT INTO athletes VALUES (101, 'Bob', 'Ray', 13, 'Red', 'M')",
              "INSERT INTO athletes VALUES (110, 'Cy', 'Sol', 14, 'Red', 'Girl')",
              "DELETE FROM athletes WHERE number = 101",
              "INSERT INTO races VALUES (7, 1, '2026-12-09 10:35:00', '100M', 1, 12, 'F', 0, 'MULTI LINE HEADER', 'MULTI')",
              "INSERT INTO result (race_id_pk, place, value, lane, athlete_number) VALUES (7, '1', 12.5, 'B01', 105)",
              "INSERT INTO result (race_id_pk, place, value, lane, athlete_number) VALUES (7, '2', 13.5, 'B02', 110)",
              "INSERT INTO result (race_id_pk, place, value, lane) VALUES (8, '1000', 14.5, 'LANE7')",
              "DELETE FROM result WHERE race_id_pk = 8",
              "INSERT INTO races VALUES (9, 2, '2026-12-09 10:40:00', 'STEEPLE2000M', 0, 12, 'F', 0, '', 'MULTI')",
              "INSERT INTO event VALUES ('100M', '100')", "INSERT INTO pb VALUES (105, '100M', 12.4)",
              "INSERT INTO record VALUES ('F', '100M', 12, 12.1, 1)"})
            ASSERT_TRUE(run(raw, QString::fromLatin1(sql))) << sql;
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("first"));

    for (int open = 0; open < 2; ++open) { // the second open finds it migrated
        Database db(dir.path());
        auto c = db.connection();
        QSqlQuery q(c);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT number, team, gender FROM athletes")));
        QStringList athletes;
        while (q.next())
            athletes << QStringLiteral("%1 %2 %3").arg(q.value(0).toString(), q.value(1).toString(), q.value(2).toString());
        EXPECT_EQ(athletes, (QStringList{QStringLiteral("105 Blue F"), QStringLiteral("110 Red Girl")}))
            << "every row, in its order, even one a width now refuses";
        for (const char* table : {"races", "result", "event", "pb", "record"}) {
            ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table)));
            q.next();
            EXPECT_EQ(q.value(0).toInt(), QByteArray(table) == "result" || QByteArray(table) == "races" ? 2 : 1)
                << table;
        }
        EXPECT_EQ(names(c, QStringLiteral("index")).size(), 10);
        // The texts kept over their width are no damage.
        ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
        EXPECT_EQ(q.value(0).toString(), QStringLiteral("ok"));
    }

    Database db(dir.path());
    auto c = db.connection();
    QString error;
    EXPECT_FALSE(run(c, QStringLiteral("INSERT INTO athletes (number, gender) VALUES (7, 'Boy')"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("athletes.gender holds at most 1 character"))) << error.toStdString();
    EXPECT_TRUE(run(c, QStringLiteral("UPDATE races SET hf = 'A HEADER MARKER LONGER THAN ONE CHARACTER'")));
    // The result deleted before the migration keeps its identity.
    ASSERT_TRUE(run(c, QStringLiteral("INSERT INTO result (race_id_pk, place) VALUES (9, '1')")));
    QSqlQuery newest(QStringLiteral("SELECT max(result_id_pk) FROM result"), c);
    ASSERT_TRUE(newest.next());
    EXPECT_EQ(newest.value(0).toInt(), 4);

    // Identities are not handed out again after the table was emptied.
    DataSet athletes(db, "athletes");
    athletes.Open();
    athletes.setFieldValue("team", QStringLiteral("Green"));
    ASSERT_TRUE(run(c, QStringLiteral("DELETE FROM athletes")));
    ASSERT_TRUE(run(c, QStringLiteral("INSERT INTO athletes (number, team) VALUES (33, 'Gold')")));
    EXPECT_THROW(athletes.Post(), EDatabaseError);
}

// A database of the last version held every text column's width as a CHECK,
// and on SQLite may hold an athlete's text kept over its width by the
// migration before. Its first open in this version stores what the timer
// unit sends whole from then on, keeps the identities handed out, and
// leaves nothing that integrity_check reports.
TEST_F(DatabaseTest, DatabaseOfTheLastLayoutStoresWhatTheTimerSendsWholeAfterItsFirstOpen)
{
    const auto check = [](const char* table, const char* column, int size) {
        return QStringLiteral("CONSTRAINT \"%1.%2 holds at most %3 character%4\" CHECK (length(\"%2\") <= %3)")
            .arg(QLatin1String(table), QLatin1String(column))
            .arg(size)
            .arg(size == 1 ? "" : "s")
            .toUtf8();
    };
    if (onServer()) {
        const struct {
            const char* table;
            const char* column;
            int size;
        } widths[] = {{"races", "event", 10}, {"races", "gender", 1}, {"races", "mode", 20},
                      {"result", "place", 3}, {"result", "lane", 3}};
        for (const auto& w : widths)
            exec("ALTER TABLE " + QByteArray(w.table) + " ADD " + check(w.table, w.column, w.size));
        exec("COMMENT ON TABLE races IS 'VEXO Barcode System, layout 1'");
    } else {
        for (const char* table : {"races", "result", "athletes"})
            exec("DROP TABLE " + QByteArray(table));
        exec("CREATE TABLE \"races\" (\"race_id_pk\" INTEGER, \"number\" INTEGER, \"datetime\" DATETIME, \"event\" "
             "VARCHAR(10), \"completed\" BOOLEAN NOT NULL, \"age\" SMALLINT, \"gender\" VARCHAR(1), \"heat\" SMALLINT, "
             "\"hf\" TEXT, \"mode\" VARCHAR(20), \"row_id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
             + check("races", "event", 10) + ", " + check("races", "gender", 1) + ", " + check("races", "mode", 20)
             + ")");
        exec("CREATE TABLE \"result\" (\"result_id_pk\" INTEGER PRIMARY KEY AUTOINCREMENT, \"race_id_pk\" INTEGER, "
             "\"place\" VARCHAR(3), \"value\" REAL, \"lane\" VARCHAR(3), \"athlete_number\" INTEGER, "
             + check("result", "place", 3) + ", " + check("result", "lane", 3) + ")");
        exec("CREATE TABLE \"athletes\" (\"number\" INTEGER, \"firstname\" VARCHAR(20), \"surname\" VARCHAR(20), "
             "\"age\" SMALLINT, \"team\" VARCHAR(20), \"gender\" VARCHAR(1), \"row_id\" INTEGER PRIMARY KEY "
             "AUTOINCREMENT, " + check("athletes", "gender", 1) + ")");
        exec("PRAGMA ignore_check_constraints = 1");
        exec("INSERT INTO athletes (number, gender) VALUES (110, 'Girl')");
        exec("PRAGMA ignore_check_constraints = 0");
        exec("PRAGMA user_version = 1");
        EXPECT_NE(scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    }
    exec("INSERT INTO result (race_id_pk, place) VALUES (1, '1'), (1, '2')");
    exec("DELETE FROM result WHERE place = '2'");
    QString error;
    EXPECT_FALSE(run(db->connection(), QStringLiteral("INSERT INTO result (race_id_pk, place) VALUES (2, '10001')")));

    query.reset();
    db.reset();
    db = std::make_unique<Database>(settings, dir.path());
    query = std::make_unique<Query>(*db);
    exec("INSERT INTO races (race_id_pk, event, mode, gender, completed) VALUES (2, 'STEEPLE2000M', "
         "'LANE-AND-LANE-AND-LANE-', 'Girl', 0)");
    exec("INSERT INTO result (race_id_pk, place, lane) VALUES (2, '10001', 'LANE7')");
    EXPECT_EQ(rows("SELECT CASE WHEN result_id_pk > 2 THEN 'new' ELSE 'old' END, place, lane FROM result "
                   "WHERE race_id_pk = 2"),
              (QList<QVariantList>{{QStringLiteral("new"), QStringLiteral("10001"), QStringLiteral("LANE7")}}))
        << "the identity of the result deleted before is not handed out again";
    EXPECT_FALSE(run(db->connection(), QStringLiteral("INSERT INTO athletes (number, gender) VALUES (7, 'Boy')"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("athletes.gender holds at most 1 character"))) << error.toStdString();
    EXPECT_EQ(scalar(SqlDialect::readLayoutVersion(db->engine()).toUtf8()).toInt(), SqlDialect::layoutVersion);
    if (!onServer()) {
        EXPECT_EQ(scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        EXPECT_EQ(scalar("SELECT gender FROM athletes WHERE number = 110").toString(), QStringLiteral("Girl"));
        EXPECT_EQ(names(db->connection(), QStringLiteral("index")).size(), 10);
    }
}

TEST(Dialect, ServerConnectionsWaitAtMost5SecondsUnlessTheirStringSaysOtherwise)
{
    using namespace SqlDialect;
    EXPECT_EQ(boundedConnection("host=finish-pc connect_timeout=20"), "host=finish-pc connect_timeout=20");
    EXPECT_EQ(boundedConnection("postgresql://finish-pc/meet?user=vexo"),
              "postgresql://finish-pc/meet?user=vexo&connect_timeout=5");
    EXPECT_EQ(connectionSetup(SqlEngine::PostgreSQL, "options='-c lock_timeout=30s'").filter("lock_timeout"), QStringList());
}

TEST(Dialect, ServersOlderThanTheChangeCheckNeedsAreRefusedNamingTheVersion)
{
    EXPECT_EQ(SqlDialect::refusedServer(130000, QStringLiteral("13.0")), QString());
    EXPECT_EQ(SqlDialect::refusedServer(170002, QStringLiteral("17.2 (Debian 17.2-1)")), QString());
    const QString refusal = SqlDialect::refusedServer(120019, QStringLiteral("12.19"));
    EXPECT_TRUE(refusal.startsWith(QStringLiteral("PostgreSQL 12.19 is too old: the meet's database needs PostgreSQL 13 "
                                                  "or later")))
        << refusal.toStdString();
}

// A statement's literals become the values of its shape, or stay as written
// where taking them could change what the statement does.
TEST(StatementShapes, LiteralsBecomeValuesWhereNothingCanChangeTheirMeaning)
{
    const struct {
        QByteArray statement;
        QByteArray shape; // empty: the statement runs as written
        QVariantList values;
    } cases[] = {
        {"insert into pb ([athlete_number],[event],[value]) values (12,'100M',12.34)",
         "insert into pb ([athlete_number],[event],[value]) values (?,?,?)", {12LL, QStringLiteral("100M"), 12.34}},
        {"insert into t ([a]) values ('O''Brien ? -- \" :x [y] #2026/12/09 10:35#')", "insert into t ([a]) values (?)",
         {QStringLiteral("O'Brien ? -- \" :x [y] #2026/12/09 10:35#")}},
        {"insert into t values (9223372036854775807,99999999999999999999,1e5,1.5e-3,0.1234567890123456,X'0A',-7)",
         "insert into t values (?,99999999999999999999,1e5,1.5e-3,0.1234567890123456,X'0A',-?)",
         {9223372036854775807LL, 7LL}},
        {"update races set [completed] = 1 where [datetime] = #2026/12/09 10:35# and [h2o] = t.5",
         "update races set [completed] = ? where [datetime] = #2026/12/09 10:35# and [h2o] = t.5", {1LL}},
        {"insert into t select a from u order by 1", "", {}},
        {"delete from t -- where a = 1", "", {}},
        {"delete from t where \"a\" = 1", "", {}},
        {"delete from t where a = :a", "", {}},
        {"delete from t where a = 'open", "", {}},
    };
    for (const auto& c : cases) {
        StatementShape shape;
        const bool shaped = StatementShape::of(c.statement, shape);
        EXPECT_EQ(shaped ? shape.text : QByteArray(), c.shape) << c.statement.constData();
        if (shaped) {
            EXPECT_EQ(shape.values, c.values) << c.statement.constData();
        }
    }
}

// What the query runs, each statement compiled once per shape on SQLite,
// stores every statement's own values, fails as the engine says, and
// follows a connection opened again.
TEST_F(DatabaseTest, StatementsOfOneShapeStoreEachTheirOwnValues)
{
    const auto execSQL = [this](const QByteArray& sql) {
        query->setSQL(sql);
        query->ExecSQL();
    };
    execSQL("insert into athletes ([number],[firstname],[surname]) values (1,'Ann','O''Brien')");
    execSQL("insert into athletes ([number],[firstname],[surname]) values (2,'Bob ? -- ''x''','A\xc3\xa9')");
    execSQL("insert into pb ([athlete_number],[event],[value]) values (1,'100M',12.34)");
    execSQL("insert into pb ([athlete_number],[event],[value]) values (2,'100M',99999999999999999999)");
    if (!onServer()) {
        // A shape the engine will not take with parameters runs as written.
        execSQL("PRAGMA user_version = 7");
        EXPECT_EQ(scalar("PRAGMA user_version").toInt(), 7);
        // The connection opened again: statements compiled on the old one
        // are compiled again.
        db->connection().close();
        db->reconnect();
    }
    execSQL("insert into athletes ([number],[firstname],[surname]) values (3,'Cy','Z')");
    EXPECT_EQ(rows("select number, firstname, surname from athletes order by number"),
              (QList<QVariantList>{{1, QStringLiteral("Ann"), QStringLiteral("O'Brien")},
                                   {2, QStringLiteral("Bob ? -- 'x'"), QString::fromUtf8("A\xc3\xa9")},
                                   {3, QStringLiteral("Cy"), QStringLiteral("Z")}}));
    EXPECT_EQ(rows("select athlete_number, value from pb order by athlete_number"),
              (QList<QVariantList>{{1, 12.34}, {2, 1e20}}));

    // A failure says what the engine says of the statement run as written.
    const QByteArray duplicate = "insert into athletes ([number],[firstname],[surname]) values (3,'Di','Y')";
    QSqlQuery plain(db->connection());
    ASSERT_FALSE(plain.exec(SqlDialect::translate(duplicate)));
    query->setSQL(duplicate);
    try {
        query->ExecSQL();
        ADD_FAILURE() << "a duplicate number was stored";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.message(), plain.lastError().text());
    }
}

TEST_F(DatabaseTest, CompiledShapesAreBoundedDroppingTheOneUsedLongestAgo)
{
    PreparedStatements prepared;
    const auto shape = [](int n) { return "select " + QByteArray::number(n); };
    const auto use = [&](int n) {
        return prepared.find(db->connection(), shape(n), [&] { return QString::fromUtf8(shape(n)); });
    };
    for (int n = 1; n < 70; ++n) {
        use(n);
        ASSERT_NE(use(0), nullptr); // in use all along
    }
    EXPECT_EQ(prepared.size(), PreparedStatements::capacity);
    EXPECT_TRUE(prepared.holds(shape(0)));
    EXPECT_FALSE(prepared.holds(shape(1)));
    EXPECT_TRUE(prepared.holds(shape(69)));
}

// Rows read straight from SQLite give the values the driver gives, and a row
// that cannot be read fails the walk instead of ending it.
TEST_F(DatabaseTest, RowsReadBackAsTheDriverGivesThemAndAFailedRowIsAFailure)
{
    if (onServer())
        GTEST_SKIP() << "rows are read straight from the engine only on SQLite";
    exec("CREATE TABLE probe (a, b, c, d, e, f, g)");
    exec("INSERT INTO probe VALUES (NULL, '', 42, 2.5, 'M\xc3\xbcller', x'00ff41', 9223372036854775807)");
    const QByteArray select = "select * from probe";
    QSqlQuery driver(db->connection());
    ASSERT_TRUE(driver.exec(QString::fromUtf8(select)) && driver.next());
    query->setSQL(select);
    query->Open();
    ASSERT_FALSE(query->Eof());
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g"}) {
        const QVariant ours = query->FieldByName(name).Value();
        const QVariant theirs = driver.value(QString::fromLatin1(name));
        EXPECT_EQ(ours.metaType(), theirs.metaType()) << name;
        EXPECT_EQ(ours.isNull(), theirs.isNull()) << name;
        EXPECT_EQ(ours, theirs) << name;
    }
    query->Next();
    EXPECT_TRUE(query->Eof());

    query->setSQL("select abs(-9223372036854775807 - a) as n from (select 0 as a union all select 1 as a)");
    query->Open();
    EXPECT_EQ(query->FieldByName("n").AsFloat(), 9223372036854775807.0);
    EXPECT_THROW(query->Next(), EDatabaseError);
}
