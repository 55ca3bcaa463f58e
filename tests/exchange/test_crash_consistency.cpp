#include "CrashMeet.h"

#include "exchange/DatabaseBackup.h"
#include "exchange/TrackDataFile.h"
#include "exchange/TrackDataImport.h"
#include "store/Database.h"
#include "store/Query.h"
#include "store/StoreFixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <iostream>
#include <random>

namespace {

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

// The reference tables as counts and a sum over the athletes' numbers, so
// that a part of an import is told from the whole of it.
struct Reference {
    qint64 athletes = 0;
    qint64 numbers = 0;
    qint64 records = 0;
    qint64 pbests = 0;
    qint64 events = 0;
    bool operator==(const Reference&) const = default;
};

Reference referenceOf(const Database& db)
{
    return {sqlprobe::count(db.connection(), QStringLiteral("athletes")),
            sqlprobe::scalar(db.connection(), QStringLiteral("select coalesce(sum(number), 0) from athletes")).toLongLong(),
            sqlprobe::count(db.connection(), QStringLiteral("record")),
            sqlprobe::count(db.connection(), QStringLiteral("pb")),
            sqlprobe::count(db.connection(), QStringLiteral("event"))};
}

const Reference noMeet{};
const Reference smallMeet{CrashMeet::smallAthletes, CrashMeet::smallAthletes * (CrashMeet::smallAthletes + 1) / 2, 1,
                          CrashMeet::smallAthletes, 1};
// Athletes 100001 to 100000 + bigAthletes().
const qint64 bigNumbers =
    qint64(CrashMeet::bigAthletes()) * 100000 + qint64(CrashMeet::bigAthletes()) * (CrashMeet::bigAthletes() + 1) / 2;
const Reference bigMeet{CrashMeet::bigAthletes(), bigNumbers, CrashMeet::bigRecords(), CrashMeet::bigPbests(),
                        1 + CrashMeet::bigEvents};

std::ostream& operator<<(std::ostream& out, const Reference& r)
{
    return out << r.athletes << " athletes (sum " << r.numbers << "), " << r.records << " records, " << r.pbests
               << " pbs, " << r.events << " events";
}

// One run of the child program, read line by line as it reports.
class ChildRun {
public:
    explicit ChildRun(const QStringList& args)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start(QStringLiteral(VEXO_CRASH_CHILD), args);
        EXPECT_TRUE(m_process.waitForStarted(30000));
    }

    // Waits until a line equal to `line` has been reported (never, for an
    // empty one), the child has ended, or the deadline (ms on the timer) has
    // passed.
    bool waitFor(const QByteArray& line, const QElapsedTimer& timer, qint64 deadline)
    {
        while (!m_lines.contains(line)) {
            if (m_process.state() == QProcess::NotRunning || timer.elapsed() >= deadline)
                return false;
            m_process.waitForReadyRead(int(std::clamp<qint64>(deadline - timer.elapsed(), 1, 20)));
            readLines();
        }
        return true;
    }

    // Lets the child run on until the deadline, or until it ends.
    void runUntil(const QElapsedTimer& timer, qint64 deadline) { waitFor(QByteArray(), timer, deadline); }

    // Kills the child with SIGKILL (unless it ended first) and returns
    // every line it reported.
    QList<QByteArray> kill()
    {
        // A child that already ended (it ran its whole meet) has nothing
        // to wait for: waiting on it would report a failure.
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            EXPECT_TRUE(m_process.waitForFinished(60000));
        }
        readLines();
        if (m_process.exitStatus() == QProcess::NormalExit) {
            EXPECT_EQ(m_process.exitCode(), 0) << m_process.readAllStandardError().toStdString();
        }
        return m_lines;
    }

private:
    void readLines()
    {
        while (m_process.canReadLine())
            m_lines << m_process.readLine().chopped(1);
    }

    QProcess m_process;
    QList<QByteArray> m_lines;
};

struct StoredRace {
    int number;
    qint32 key;
};

struct Scan {
    qint32 key;
    QByteArray place;
    int athlete;
};

// What the child reported, as far as it still holds: an import that
// commits takes the races and scans before it away.
struct Reported {
    int nextStep = 0;
    bool smallImported = false;
    bool bigImported = false;
    bool importBegun = false; // in the run being checked
    QList<QByteArray> handed;
    QList<StoredRace> races;
    QList<Scan> scans;

    void read(const QList<QByteArray>& lines)
    {
        importBegun = false;
        for (const QByteArray& line : lines) {
            const QList<QByteArray> w = line.split(' ');
            if (line == "import begins") {
                importBegun = true;
            } else if (line == "import done") {
                imported();
            } else if (w[0] == "handed") {
                handed << CrashMeet::raceText(w[1].toInt());
            } else if (w[0] == "stored") {
                races.push_back({w[1].toInt(), w[2].toInt()});
            } else if (w[0] == "scan") {
                scans.push_back({w[1].toInt(), w[2], w[3].toInt()});
            } else if (w[0] == "step") {
                nextStep = w[1].toInt() + 1;
            }
        }
    }

    // The import of the step the child was on has committed.
    void imported()
    {
        if (nextStep == 0) {
            smallImported = true;
            nextStep = std::max(nextStep, 1);
        } else {
            bigImported = true;
            nextStep = std::max(nextStep, CrashMeet::importStep + 1);
        }
        races.clear();
        scans.clear();
    }
};

// After a kill: the next start opens the database cleanly, and it holds
// nothing but whole steps and everything the child reported.
void checkAfterKill(const QString& folder, Reported& reported, const QString& journalFile)
{
    Database db(folder, QStringLiteral("next start"));
    EXPECT_EQ(sqlprobe::scalar(db.connection(), QStringLiteral("pragma integrity_check")).toString(), QStringLiteral("ok"));

    const Reference reference = referenceOf(db);
    const bool inBigImport = reported.nextStep == CrashMeet::importStep && reported.importBegun;
    if (reference == bigMeet && !reported.bigImported && inBigImport)
        reported.imported();
    else if (reference == smallMeet && !reported.smallImported && reported.nextStep == 0)
        reported.imported();
    const Reference expected = reported.bigImported ? bigMeet : reported.smallImported ? smallMeet : noMeet;
    EXPECT_EQ(reference, expected) << "the reference tables hold a part of an import";

    // Every race whole, as its text says, and none from before an import.
    QMap<qint32, int> numberOf;
    for (const QVariantList& race : sqlprobe::rows(db.connection(), QStringLiteral("select race_id_pk, number from races")))
        numberOf[race[0].toInt()] = race[1].toInt();
    for (auto [key, number] : numberOf.asKeyValueRange()) {
        QStringList places;
        const QString sql =
            QStringLiteral("select place, value, lane from result where race_id_pk = %1 order by place");
        for (const QVariantList& r : sqlprobe::rows(db.connection(), sql.arg(key)))
            places << r[0].toString() + QLatin1Char('/') + QString::number(r[1].toDouble(), 'f', 2) + QLatin1Char('/')
                    + r[2].toString();
        QStringList said;
        for (int p = 1; p <= CrashMeet::placesOf(number); ++p)
            said << QString::number(p) + QLatin1Char('/') + QString::fromLatin1(CrashMeet::timeOf(number, p))
                    + QLatin1Char('/') + QString::fromLatin1(CrashMeet::laneOf(p));
        EXPECT_EQ(places, said) << "race " << number << " (key " << key << ") is not whole";
        if (reported.bigImported) {
            EXPECT_GE(number, CrashMeet::raceNumberOf(CrashMeet::importStep + 1)) << "a race outlived the import";
        }
    }
    EXPECT_EQ(sqlprobe::scalar(db.connection(), QStringLiteral("select count(*) from result where race_id_pk not in "
                                        "(select race_id_pk from races)")).toInt(), 0)
        << "places without their race";

    for (const StoredRace& race : reported.races)
        EXPECT_EQ(numberOf.value(race.key, -1), race.number) << "race " << race.number << " was reported stored";
    for (const Scan& scan : reported.scans)
        EXPECT_EQ(sqlprobe::scalar(db.connection(), QStringLiteral("select athlete_number from result where race_id_pk = %1 and place = '%2'")
                                 .arg(scan.key)
                                 .arg(QString::fromLatin1(scan.place)))
                      .toInt(),
                  scan.athlete)
            << "the scan into place " << scan.place.constData() << " of race key " << scan.key
            << " was reported stored";

    // A copy cut short stays under its unfinished name; every copy under a
    // backup's name is whole.
    if (reported.importBegun) {
        for (const QString& copy : DatabaseBackup::existing(db)) {
            QSqlDatabase whole = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copy"));
            whole.setDatabaseName(copy);
            EXPECT_TRUE(whole.open());
            QSqlQuery q(whole);
            EXPECT_TRUE(q.exec(QStringLiteral("pragma integrity_check")) && q.next()
                        && q.value(0).toString() == QStringLiteral("ok"))
                << "the copy " << copy.toStdString() << " is not whole";
            q = QSqlQuery();
            whole = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("copy"));
        }
    }

    QFile journal(journalFile);
    const QByteArray journalled = journal.open(QIODevice::ReadOnly) ? journal.readAll() : QByteArray();
    for (const QByteArray& text : reported.handed)
        EXPECT_TRUE(journalled.contains(text)) << "not in the journal: " << text.constData();
}

// The tables the kill left in the database file, before any start
// completes it; -1 when there is no file.
int tablesLeft(const QString& folder)
{
    const QString file = QDir(folder).filePath(QStringLiteral("VEXO_ACC.db"));
    if (!QFileInfo::exists(file))
        return -1;
    int tables = -1;
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(file);
        QSqlQuery q(raw);
        if (raw.open() && q.exec(QStringLiteral("select count(*) from sqlite_master where type = 'table'")) && q.next())
            tables = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    return tables;
}

// Polls the folder until a file matching pattern shows or the deadline
// passes.
void waitForFile(const QString& folder, const QString& pattern, const QElapsedTimer& timer, qint64 deadline)
{
    while (QDir(folder).entryList({pattern}, QDir::Files).isEmpty() && timer.elapsed() < deadline)
        QThread::usleep(500);
}

} // namespace

// The child runs the meet and is killed with SIGKILL at 30 random points:
// during its very first start, in the import (the copy and the line loop)
// and between and inside races and scans. The run after a kill continues
// the meet on the same database, as the program would at a meet. A small
// run (VEXO_TEST_SMALL) kills 20 times, fewer of them in the imports: still
// enough to reach the races after the big import, since every run not aimed
// at an import completes a step (1 + 2 + 10 + 4 + 1 runs at most).
TEST(CrashConsistency, KilledAnywhereTheMeetIsWholeOnTheNextStart)
{
    QElapsedTimer wall;
    wall.start();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString small = writeFile(dir.filePath(QStringLiteral("small.csv")), CrashMeet::smallTrackData());
    const QString big = writeFile(dir.filePath(QStringLiteral("big.csv")), CrashMeet::bigTrackData());

    // How long the imports take here, and the reading of the big file and
    // the copy of the meet before it, so that the kills land inside them.
    QMap<int, qint64> importMs; // by step
    qint64 readMs = 0;
    qint64 copyMs = 0;
    {
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("trial")));
        Database trial(dir.filePath(QStringLiteral("trial")), QStringLiteral("trial"));
        Query query(trial);
        QElapsedTimer timer;
        timer.start();
        ImportTrackData(trial, query, small);
        importMs[0] = std::max<qint64>(timer.restart(), 1);
        TrackDataFile::read(big);
        readMs = timer.restart();
        DatabaseBackup::create(query, QDateTime::currentDateTime());
        copyMs = std::max<qint64>(timer.restart(), 1);
        EXPECT_EQ(ImportTrackData(trial, query, big).lines, CrashMeet::bigLines());
        importMs[CrashMeet::importStep] = std::max<qint64>(timer.elapsed(), 1);
        ASSERT_EQ(referenceOf(trial), bigMeet);
    }

    const unsigned seed = qEnvironmentVariableIsSet("VEXO_CRASH_SEED")
        ? qEnvironmentVariable("VEXO_CRASH_SEED").toUInt()
        : std::random_device{}();
    std::cout << "crash seed " << seed << " (VEXO_CRASH_SEED repeats it); the import takes "
              << importMs[CrashMeet::importStep] << " ms, its copy " << copyMs << " ms after " << readMs
              << " ms of reading" << std::endl;
    std::mt19937 random(seed);
    auto upTo = [&](qint64 ms) { return std::uniform_int_distribution<qint64>(0, ms)(random); };

    const QString folder = dir.filePath(QStringLiteral("meet"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("meet")));
    Reported reported;
    QMap<int, int> killsInImport; // by step
    QSet<QString> cutCopies; // unfinished copies the kills left
    const bool smallRun = CrashMeet::smallRun();
    const int kills = smallRun ? 20 : 30;
    const QMap<int, int> importKills{{0, smallRun ? 1 : 2}, {CrashMeet::importStep, smallRun ? 3 : 6}}; // by step
    for (int kill = 0; kill < kills && !HasFailure(); ++kill) {
        const int step = reported.nextStep;
        const bool atImport = importMs.contains(step);
        ChildRun child({QStringLiteral("run"), folder, small, big, QString::number(step)});
        QElapsedTimer timer;
        timer.start();
        if (kill == 0) {
            // The very first start, as soon as the database file exists:
            // before, while or just after its tables are made.
            waitForFile(folder, QStringLiteral("VEXO_ACC.db"), timer, 30000);
            child.runUntil(timer, timer.elapsed() + upTo(10));
        } else if (child.waitFor("started", timer, 60000)) {
            if (atImport && killsInImport[step] < importKills[step]) {
                // The first in the big import aims at its copy; most of the
                // others land in an import, and one that does not lets it
                // complete.
                const bool atCopy = step != 0 && killsInImport[step] == 0;
                if (child.waitFor("import begins", timer, 60000)) {
                    if (atCopy)
                        waitForFile(folder, QStringLiteral("*.part"), timer, timer.elapsed() + 10 * readMs + 1000);
                    child.runUntil(timer, timer.elapsed() + upTo(atCopy ? copyMs : importMs[step] * 6 / 5));
                }
            } else {
                // The run completes its first step, so that the meet moves
                // on however slow the machine. One before the big import
                // ends before it at the latest, so that the next run starts
                // there and the kills aimed at the import land in it, also
                // where the races and a small import are fast enough to
                // pass it in one run.
                child.waitFor("step " + QByteArray::number(step) + " done", timer, 600000);
                if (step < CrashMeet::importStep)
                    child.waitFor("step " + QByteArray::number(CrashMeet::importStep - 1) + " done", timer,
                                  timer.elapsed() + upTo(300));
                else
                    child.runUntil(timer, timer.elapsed() + upTo(300));
            }
        }
        const QList<QByteArray> lines = child.kill();
        if (kill == 0)
            std::cout << "the first start was killed with " << tablesLeft(folder) << " tables made" << std::endl;
        reported.read(lines);
        if (atImport && reported.importBegun && !lines.contains("import done"))
            ++killsInImport[step];
        for (const QString& cut : QDir(folder).entryList({QStringLiteral("*.part")}))
            cutCopies.insert(cut);
        checkAfterKill(folder, reported, QDir(folder).filePath(QStringLiteral("VEXO_COMS.log")));
    }
    EXPECT_TRUE(reported.bigImported) << "the import never completed";
    EXPECT_GT(reported.nextStep, CrashMeet::importStep + 1) << "no race after the import";
    std::cout << killsInImport[CrashMeet::importStep] << " kills in the big import (" << cutCopies.size()
              << " in its copy), " << reported.nextStep << " steps done, " << wall.elapsed() << " ms in all"
              << std::endl;
}

// The program ending in the middle of a backup copy, here because the copy
// passes the file size limit, leaves no file under a copy's name: the next
// import neither keeps it nor counts it among the copies it keeps.
TEST(CrashConsistency, CopyCutShortIsNeverTakenForABackup)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        Database db(dir.path(), QStringLiteral("filling"));
        ASSERT_NO_FATAL_FAILURE(sqlprobe::exec(db.connection(), QStringLiteral(
            "with recursive n(x) as (select 1 union all select x + 1 from n where x < 30000) insert into athletes "
            "(number, firstname, surname, age, team, gender) select x, 'First' || x, 'Surname' || x, 11, 'Team', "
            "'F' from n")));
    }
    QProcess child;
    child.start(QStringLiteral(VEXO_CRASH_CHILD), {QStringLiteral("copy"), dir.path(), QStringLiteral("65536")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << "the copy was not cut short: "
                                                       << child.readAllStandardOutput().toStdString();
    const QDir folder(dir.path());
    EXPECT_EQ(folder.entryList({QStringLiteral("VEXO_ACC-backup-*.db")}, QDir::Files), QStringList());

    // An earlier version could leave an empty file under a copy's name.
    writeFile(dir.filePath(QStringLiteral("VEXO_ACC-backup-20250101-090000.db")), {});
    Database db(dir.path(), QStringLiteral("importing"));
    Query query(db);
    EXPECT_EQ(DatabaseBackup::existing(db), QStringList());
    const QString copy = DatabaseBackup::create(query, QDateTime(QDate(2026, 12, 9), QTime(10, 35)), 1);
    EXPECT_EQ(DatabaseBackup::existing(db), QStringList{copy});
    EXPECT_EQ(folder.entryList({QStringLiteral("VEXO_ACC-backup-*")}, QDir::Files),
              QStringList{QStringLiteral("VEXO_ACC-backup-20261209-103500.db")})
        << "what the cut copy left is still there";
    {
        QSqlDatabase restored = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("restored"));
        restored.setDatabaseName(copy);
        ASSERT_TRUE(restored.open());
        EXPECT_EQ(sqlprobe::count(restored, QStringLiteral("athletes")), 30000);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("restored"));
}
