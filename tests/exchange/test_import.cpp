#include "exchange/DatabaseBackup.h"
#include "exchange/ExchangeFixture.h"
#include "exchange/TrackDataImport.h"
#include "store/Athlete.h"
#include "store/Event.h"
#include "store/Exception.h"
#include "store/OtherProgram.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringEncoder>

namespace {

class TrackDataImport : public ExchangeFixture {
protected:
    void SetUp() override
    {
        ExchangeFixture::SetUp();
    }

    // Copies beside the file and the file's own names are SQLite's; a server
    // keeps its copies inside itself.
    bool onFile()
    {
        return !onServer();
    }

    TrackDataCounts import(const QByteArray& contents)
    {
        return ImportTrackData(*db, *query, writeFile(QStringLiteral("meet.csv"), contents));
    }

    // The line failure an import raises, or a failed test.
    ETrackDataLine importFailing(const QByteArray& contents)
    {
        try {
            import(contents);
        } catch (const ETrackDataLine& e) {
            return e;
        }
        ADD_FAILURE() << "the import did not stop at a line";
        return ETrackDataLine(-1, QString());
    }

    QList<QVariantList> athletes() { return rows("select number, firstname, surname, age, team, gender from athletes"); }

    // Each event as "name=code", the code "null" when none is set.
    QStringList events()
    {
        QStringList all;
        for (const QVariantList& row : rows("select event, tg_event from event order by event"))
            all << row[0].toString() + QLatin1Char('=') + (row[1].isNull() ? QStringLiteral("null") : row[1].toString());
        return all;
    }

    // What another connection sees: only what the import committed.
    int committedRows(const QString& table)
    {
        int n = -1;
        {
            QSqlDatabase other;
            if (onServer()) {
                other = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("observer"));
                other.setConnectOptions(TestEngine::serverConnection() + QStringLiteral(" dbname=")
                                        + TestEngine::databaseName());
            } else {
                other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("observer"));
                other.setDatabaseName(db->filePath());
            }
            EXPECT_TRUE(other.open());
            QSqlQuery q(other);
            if (q.exec(QStringLiteral("select count(*) from ") + table) && q.next())
                n = q.value(0).toInt();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("observer"));
        return n;
    }
};

QVariantList athleteRow(int number, const char* first, const char* surname, int age, const char* team,
                        const char* gender)
{
    return {number, QString::fromUtf8(first), QString::fromUtf8(surname), age, QString::fromUtf8(team),
            QString::fromUtf8(gender)};
}

} // namespace

TEST_F(TrackDataImport, MixedFileIsStoredTableByTable)
{
    fillMeetInProgress();
    const TrackDataCounts counts = import("# Riverside Junior Open\r\n"
                                          "Kind,Number,First name,Surname,Age,Team,Gender\r\n"
                                          "P,101,100M,14.02\r\n"
                                          "A,101,Ann,Lee,12,Blue,F\r\n"
                                          "E,200M\r\n"
                                          "R,F,100M,12,13.5,1\r\n"
                                          "a,102,Lower,Case,12,Blue,F\r\n"
                                          "A,102,Ben,Ray,13,Red,M\r\n"
                                          "E,100M\r\n"
                                          "P,102,200M,28\r\n");
    EXPECT_EQ(counts.lines, 10);
    EXPECT_EQ(counts.athletes, 2);
    EXPECT_EQ(counts.events, 2);
    EXPECT_EQ(counts.records, 1);
    EXPECT_EQ(counts.pbests, 2);

    EXPECT_EQ(count("result"), 0);
    EXPECT_EQ(count("races"), 0);
    EXPECT_EQ(athletes(), (QList<QVariantList>{athleteRow(101, "Ann", "Lee", 12, "Blue", "F"),
                                               athleteRow(102, "Ben", "Ray", 13, "Red", "M")}));
    EXPECT_EQ(rows("select gender, event, age, value, type from record"),
              (QList<QVariantList>{{QStringLiteral("F"), QStringLiteral("100M"), 12, 13.5, 1}}));
    EXPECT_EQ(rows("select athlete_number, event, value from pb order by athlete_number"),
              (QList<QVariantList>{{101, QStringLiteral("100M"), 14.02}, {102, QStringLiteral("200M"), 28.0}}));
    // The event table is kept: the mapping typed by an official survives.
    EXPECT_EQ(events(), (QStringList{QStringLiteral("100M=EV03"), QStringLiteral("200M=null")}));
    EXPECT_EQ(committedRows(QStringLiteral("athletes")), 2);
}

TEST_F(TrackDataImport, FilesWithNothingToStoreEmptyTheRaceDataOnly)
{
    const QByteArray files[] = {
        "",
        "\r\n\r\n",
        "Kind,Number,First name\r\n# comment\r\na,1,x,y,9,T,F\r\nx\r\n  \t\r\n",
    };
    for (const QByteArray& file : files) {
        fillMeetInProgress();
        const auto eventsBefore = events();
        EXPECT_NO_THROW(import(file)) << file.constData();
        EXPECT_EQ(raceDataRows(), 0) << file.constData();
        EXPECT_EQ(events(), eventsBefore) << file.constData();
        exec("delete from event");
    }
}

TEST_F(TrackDataImport, FailingLineStopsTheImportWithItsNumberCountedFromZero)
{
    const QList<QVariantList> both = {{1}, {2}};
    const struct {
        const char* name;
        QByteArray file;
        int line;
        QString reason;
        QList<QVariantList> kept;
    } cases[] = {
        {"word Athlete", "A,1,Ann,Lee,12,Blue,F\r\nA,2,Ben,Ray,13,Red,M\r\nAthlete,3,Cy,Fox,12,Blue,M\r\nA,4,Di,Orr,12,Red,F\r\n",
         2, QStringLiteral("Invalid Athlete CSV string"), both},
        // Skipped and empty lines are counted; a lone CR ends a line too.
        {"after skipped lines", "Kind\rA,1,Ann,Lee,12,Blue,F\r\n\r\nP,1,100M,fast\r\nA,4,Di,Orr,12,Red,F", 3,
         QStringLiteral("'fast' is not a valid floating point value"), {{1}}},
        {"word Record", "A,1,Ann,Lee,12,Blue,F\nA,2,Ben,Ray,13,Red,M\nRecord,F,100M,12,13.5,1\n", 2,
         QStringLiteral("Invalid Record CSV string"), both},
        {"age group for an age", "A,1,Ann,Lee,12,Blue,F\nA,2,Ben,Ray,13,Red,M\nA,3,Cy,Fox,U12,Blue,M\n", 2,
         QStringLiteral("''U12'' is not a valid integer value"), both},
    };
    for (const auto& c : cases) {
        fillMeetInProgress();
        const ETrackDataLine e = importFailing(c.file);
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_EQ(e.reason(), c.reason) << c.name;
        EXPECT_EQ(e.message(),
                  QStringLiteral("Failed to Save data to Database, error on line: %1\n").arg(c.line) + c.reason)
            << c.name;
        // The lines before stay, later lines are not read, and the emptied
        // tables stay empty: committed, as another connection sees.
        EXPECT_EQ(rows("select number from athletes order by number"), c.kept) << c.name;
        EXPECT_EQ(committedRows(QStringLiteral("athletes")), c.kept.size()) << c.name;
        EXPECT_EQ(committedRows(QStringLiteral("races")), 0) << c.name;
        EXPECT_EQ(count("result") + count("record") + count("pb"), 0) << c.name;
        exec("delete from event");
    }
}

TEST_F(TrackDataImport, DuplicateAthleteStopsWithTheEnginesMessage)
{
    // The engine's own words for the same refusal.
    ATHLETE first;
    first.parse("A,7,Ann,Lee,12,Blue,F");
    first.store(*query);
    QString engineMessage;
    try {
        first.store(*query);
    } catch (const EDatabaseError& e) {
        engineMessage = e.message();
    }
    ASSERT_FALSE(engineMessage.isEmpty());

    const ETrackDataLine e = importFailing("A,7,Ann,Lee,12,Blue,F\nE,100M\nA,7,Bob,Lee,13,Blue,M\nA,8,Cy,Fox,12,Red,M\n");
    EXPECT_EQ(e.line(), 2);
    EXPECT_EQ(e.reason(), engineMessage);
    EXPECT_EQ(athletes(), QList<QVariantList>{athleteRow(7, "Ann", "Lee", 12, "Blue", "F")});
}

TEST_F(TrackDataImport, EventsAlreadyPresentPassSilently)
{
    exec("insert into event (event, tg_event) values ('100M', 'EV03')");
    EXPECT_NO_THROW(import("E,100M\nE,200M\nE,200M\nA,1,Ann,Lee,12,Blue,F\n"));
    EXPECT_EQ(events(), (QStringList{QStringLiteral("100M=EV03"), QStringLiteral("200M=null")}));
    EXPECT_EQ(count("athletes"), 1);
}

TEST_F(TrackDataImport, BlanksAroundALineAreTrimmed)
{
    // Control characters count as blanks: a stray one before the kind
    // letter does not make the line one of no kind.
    import(" A,1,Ann,Lee,12,Blue,F\n\t A,2,Ben,Ray,13,Red,M \t\n\x01\x1fP,1,100M,14.5\x0b\n");
    EXPECT_EQ(athletes(), (QList<QVariantList>{athleteRow(1, "Ann", "Lee", 12, "Blue", "F"),
                                               athleteRow(2, "Ben", "Ray", 13, "Red", "M")}));
    EXPECT_EQ(rows("select athlete_number, value from pb"), (QList<QVariantList>{{1, 14.5}}));
}

TEST_F(TrackDataImport, ApostrophesAndLongLinesArriveWhole)
{
    // Nothing is cut after an apostrophe: the fields after a long run of
    // blanks (cut from the field they follow) are still read.
    import("A,7,Siobhan,O'Brien" + QByteArray(1500, ' ') + ",12,O'Connor,F\nP,7,100M,14.02\nE,Kids' 60M\n");
    EXPECT_EQ(athletes(), QList<QVariantList>{athleteRow(7, "Siobhan", "O'Brien", 12, "O'Connor", "F")});
    EXPECT_EQ(count("event where event = 'Kids'' 60M'"), 1);
    EXPECT_EQ(count("pb"), 1);
}

TEST_F(TrackDataImport, NamesArriveAsTheSameTextInEveryEncoding)
{
    const QString text = QStringLiteral("A,203,Ren\u00e9e,M\u00fcller,11,Valley,F\r\n");
    QStringEncoder le(QStringConverter::Utf16LE);
    const QByteArray files[] = {
        text.toUtf8(),
        "\xEF\xBB\xBF" + text.toUtf8(),
        "\xFF\xFE" + QByteArray(le.encode(text)),
        "A,203,Ren\xe9" "e,M\xfc" "ller,11,Valley,F\r\n",
    };
    for (const QByteArray& file : files) {
        import(file);
        EXPECT_EQ(athletes(), QList<QVariantList>{athleteRow(203, "Ren\u00e9e", "M\u00fcller", 11, "Valley", "F")});
        // The first line is an athlete, not skipped for a mark before its A.
    }
}

// A UTF-8 file to which one line was added by a program writing
// Windows-1252: every line reads in its own encoding, with or without the
// UTF-8 mark, which is no part of the first line.
TEST_F(TrackDataImport, EachLineIsReadInItsOwnEncoding)
{
    const QByteArray utf8Lines = "A,1,Zo\xc3\xab,M\xc3\xbcller,12,Blue,F\r\n";
    const QByteArray oneWindowsLine = "A,2,Jos\xe9,Pe\xf1" "a,13,\x93Red\x94,M\r\nA,3,Ren\xc3\xa9" "e,Ng,11,Blue,F\r\n";
    const QList<QVariantList> expected{athleteRow(1, "Zo\u00eb", "M\u00fcller", 12, "Blue", "F"),
                                       athleteRow(2, "Jos\u00e9", "Pe\u00f1a", 13, "\u201cRed\u201d", "M"),
                                       athleteRow(3, "Ren\u00e9e", "Ng", 11, "Blue", "F")};
    for (const QByteArray& mark : {QByteArray(), QByteArray("\xEF\xBB\xBF")}) {
        EXPECT_EQ(import(mark + utf8Lines + oneWindowsLine).athletes, 3);
        EXPECT_EQ(athletes(), expected) << "mark: " << mark.size();
    }
}

TEST_F(TrackDataImport, DatabaseIsCopiedBesideItselfBeforeItIsEmptied)
{
    if (!onFile())
        GTEST_SKIP() << "the database is a file on SQLite only";
    fillMeetInProgress();
    import("A,1,Ann,Lee,12,Blue,F\n");

    const QStringList copies = DatabaseBackup::existing(*db);
    ASSERT_EQ(copies.size(), 1);
    EXPECT_TRUE(QDir(dir.path()).exists(QFileInfo(copies[0]).fileName()));
    EXPECT_TRUE(QFileInfo(copies[0]).fileName().contains(QRegularExpression(
        QStringLiteral("^VEXO_ACC-backup-\\d{8}-\\d{6}(-\\d+)?\\.db$"))))
        << copies[0].toStdString();

    // The copy holds the meet as it was, and opens as a data store.
    QTemporaryDir restored;
    ASSERT_TRUE(QFile::copy(copies[0], restored.filePath(QStringLiteral("VEXO_ACC.db"))));
    Database old(restored.path(), QStringLiteral("restored"));
    EXPECT_EQ(sqlprobe::rows(old.connection(), QStringLiteral("select number from athletes")),
              (QList<QVariantList>{{900}}));
}

TEST_F(TrackDataImport, OnlyTheNewestCopiesAreKept)
{
    if (!onFile())
        GTEST_SKIP() << "the database is a file on SQLite only";
    const QDateTime start(QDate(2026, 12, 9), QTime(10, 35, 0));
    QStringList made;
    for (int i = 0; i < 7; ++i)
        made << DatabaseBackup::create(*query, start.addSecs(i * 60));
    // Two in the same second: the second one does not replace the first.
    made << DatabaseBackup::create(*query, start.addSecs(6 * 60));
    EXPECT_EQ(QFileInfo(made.last()).fileName(), QStringLiteral("VEXO_ACC-backup-20261209-104100-2.db"));
    EXPECT_EQ(DatabaseBackup::existing(*db), made.mid(3));

    // A file of another name is left alone.
    writeFile(QStringLiteral("VEXO_ACC-backup-notes.db"), "mine");
    DatabaseBackup::create(*query, start.addSecs(3600), 2);
    EXPECT_EQ(DatabaseBackup::existing(*db).size(), 2);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("VEXO_ACC-backup-notes.db"))));
}

// An official mending a file line by line makes a copy with every try;
// the copy of the meet's races outlives five copies of an empty meet, and
// goes only once a newer copy holds races. Files on SQLite, schemas on a
// server.
TEST_F(TrackDataImport, TheLastCopyWithRacesOutlivesFailedImports)
{
    fillMeetInProgress();
    const QByteArray failing = "A,1,Ann,Lee,12,Blue,F\nA,x\n";
    EXPECT_THROW(import(failing), ETrackDataLine);
    const QStringList withRaces = DatabaseBackup::existing(*db);
    ASSERT_EQ(withRaces.size(), 1);
    for (int attempt = 0; attempt < 6; ++attempt)
        EXPECT_THROW(import(failing), ETrackDataLine);
    QStringList copies = DatabaseBackup::existing(*db);
    ASSERT_EQ(copies.size(), 6);
    EXPECT_EQ(copies.first(), withRaces.first());

    // A race stored since: the newest copy holds it, and five are kept.
    exec("insert into races (race_id_pk, number, datetime, event, completed, age, gender, heat, hf, mode)"
         " values (78, 4, '2025-05-01 11:00:00', '200M', 0, 12, 'M', 1, '', 'LANE')");
    import("A,1,Ann,Lee,12,Blue,F\n");
    const QStringList before = copies;
    copies = DatabaseBackup::existing(*db);
    EXPECT_EQ(copies.size(), 5);
    EXPECT_FALSE(copies.contains(withRaces.first()));
    EXPECT_EQ(copies.mid(0, 4), before.mid(2));
}

TEST_F(TrackDataImport, CopyIsMadeWhileAQueryIsOpen)
{
    exec("insert into event (event, tg_event) values ('100M', 'EV03')");
    EVENT event;
    ASSERT_TRUE(event.lookup(*query, "EV03")); // leaves the query open on its row
    EXPECT_NO_THROW(import("A,1,Ann,Lee,12,Blue,F\n"));
    EXPECT_EQ(count("athletes"), 1);
}

TEST_F(TrackDataImport, FailureBeforeTheLinesLeavesTheDatabaseAsItWas)
{
    if (!onFile())
        GTEST_SKIP() << "the refusal is an SQLite trigger";
    fillMeetInProgress();
    // A file that cannot be read changes nothing, not even a copy is made.
    EXPECT_THROW(ImportTrackData(*db, *query, dir.filePath(QStringLiteral("missing.csv"))), Exception);
    EXPECT_EQ(raceDataRows(), 5);
    EXPECT_TRUE(DatabaseBackup::existing(*db).isEmpty());

    // The last table to be emptied refuses: the first four come back.
    exec("create trigger keep_pb before delete on pb begin select raise(abort, 'pb is locked'); end");
    try {
        import("A,1,Ann,Lee,12,Blue,F\n");
        FAIL() << "no error";
    } catch (const ETrackDataLine&) {
        FAIL() << "reported as a line";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("pb is locked"))) << e.message().toStdString();
    }
    EXPECT_EQ(raceDataRows(), 5);
    EXPECT_EQ(committedRows(QStringLiteral("races")), 1);
    EXPECT_EQ(scalar("select number from athletes").toInt(), 900);
}

TEST_F(TrackDataImport, AnotherProgramReadingTheFileAfterAnImportChangesNothing)
{
    if (!onFile())
        GTEST_SKIP() << "the database is a file on SQLite only";
    const QString file = db->filePath();
    if (otherProgramReads(file, QStringLiteral("select 1")) != QStringLiteral("1"))
        GTEST_SKIP() << "the sqlite3 shell is not installed";

    fillMeetInProgress();
    import("A,1,Ann,Lee,12,Blue,F\n");
    EXPECT_EQ(otherProgramReads(file, QStringLiteral("select count(*) from athletes")), QStringLiteral("1"));
    // The program still holds the file: the reader, thinking itself the
    // last user, would otherwise have removed the log under it.
    EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral("-wal")));
    EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral("-shm")));

    ATHLETE later;
    later.parse("A,2,Ben,Ray,13,Red,M");
    later.store(*query);
    EXPECT_EQ(otherProgramReads(file, QStringLiteral("select count(*) from athletes")), QStringLiteral("2"))
        << "a row stored after the import must reach the file";

    // A write in progress stays the program's own until it is committed.
    db->begin();
    later.parse("A,3,Cy,Fox,12,Blue,M");
    later.store(*query);
    EXPECT_EQ(otherProgramReads(file, QStringLiteral("select count(*) from athletes")), QStringLiteral("2"));
    EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral("-wal")));
    db->commit();
    EXPECT_EQ(otherProgramReads(file, QStringLiteral("select count(*) from athletes")), QStringLiteral("3"));
    EXPECT_EQ(count("athletes"), 3);
}

TEST_F(TrackDataImport, DatabaseItselfIsRefusedAsTheTrackDataFile)
{
    if (!onFile())
        GTEST_SKIP() << "the database is a file on SQLite only";
    const QString file = db->filePath();
    fillMeetInProgress();
    for (const QString& chosen : {file, file + QStringLiteral("-wal"), dir.path() + QStringLiteral("/./VEXO_ACC.db")}) {
        try {
            ImportTrackData(*db, *query, chosen);
            ADD_FAILURE() << "the database was read as track data: " << chosen.toStdString();
        } catch (const ETrackDataLine&) {
            ADD_FAILURE() << "the database was read as track data: " << chosen.toStdString();
        } catch (const Exception& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("is the database itself"))) << e.message().toStdString();
        }
    }
    EXPECT_EQ(raceDataRows(), 5);
    EXPECT_TRUE(DatabaseBackup::existing(*db).isEmpty());

    // Reading it would have dropped the program's hold on the file.
    if (otherProgramReads(file, QStringLiteral("select count(*) from races")) == QStringLiteral("<no sqlite3>"))
        return;
    EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral("-wal")));
}

TEST_F(TrackDataImport, OnAServerTheCopyIsASchemaOfTheSixTablesAndTheNewestFiveAreKept)
{
    if (onFile())
        GTEST_SKIP() << "a server's copies are schemas inside it";
    fillMeetInProgress();
    const QDateTime start(QDate(2026, 12, 9), QTime(10, 35, 0));
    QStringList made;
    for (int i = 0; i < 6; ++i)
        made << DatabaseBackup::create(*query, start.addSecs(i * 60));
    made << DatabaseBackup::create(*query, start.addSecs(5 * 60));
    EXPECT_EQ(made.last(), QStringLiteral("VEXO_ACC-backup-20261209-104000-2"));
    EXPECT_EQ(count("pg_namespace where nspname like 'VEXO_ACC-backup-%'"), 5);
    EXPECT_EQ(count("pg_namespace where nspname = 'VEXO_ACC-backup-20261209-103600'"), 0);

    // The copy holds the meet as it was; the import then empties the tables.
    import("A,1,Ann,Lee,12,Blue,F\n");
    EXPECT_EQ(count("\"VEXO_ACC-backup-20261209-104000-2\".athletes where number = 900"), 1);
    EXPECT_EQ(count("athletes where number = 900"), 0);

    // Restored as the help says, the meet is back as it was.
    exec("TRUNCATE athletes, races, result, record, event, pb");
    for (const char* table : {"athletes", "races", "result", "record", "event", "pb"})
        exec(QByteArray("INSERT INTO ") + table + " SELECT * FROM \"VEXO_ACC-backup-20261209-104000-2\"." + table);
    EXPECT_EQ(raceDataRows(), 5);
    EXPECT_EQ(count("athletes where number = 900"), 1);
}
