// Importing a track data file of 100,000 lines and exporting 100,000 results,
// each beside the sqlite3 command-line tool doing the same work on the same
// database: inserting the same rows in one transaction, and writing the same
// join as CSV. Every run opens the database, does the work and closes it;
// the sqlite3 runs include starting the tool. Both write with
// synchronous=FULL, as the program always does.
//
// The import's safety copy is timed on its own as well, of a database
// holding such a meet, which is what an import before the next meet copies:
// the import runs here on an empty database, whose copy costs next to
// nothing, so its figure is the storing of the rows.

#include "BenchSize.h"
#include "exchange/DatabaseBackup.h"
#include "exchange/ResultsExport.h"
#include "exchange/TrackDataImport.h"
#include "store/Database.h"
#include "store/Miscl.h"
#include "store/Query.h"

#include "ScannedMeet.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>

#include <sys/resource.h>

namespace {

const int lineCount = benchRows(100000);
const int resultCount = benchRows(100000);

const char* const events[] = {"60M", "75M", "100M", "150M", "200M", "300M",
                              "400M", "800M", "1500M", "3000M", "75MH", "80MH"};
constexpr int eventCount = 12;
const char* const surnames[] = {"Smith", "O'Brien", "Taylor", "M\xc3\xbcller", "Okafor", "Nguyen", "Walsh"};
const char* const teams[] = {"Riverside AC", "Harbour Harriers", "Valley Track Club", "Northfield Striders"};

QByteArray number(int n)
{
    return QByteArray::number(n);
}

QByteArray quoted(QByteArray text)
{
    return "'" + text.replace("'", "''") + "'";
}

// The track data file and, for sqlite3, the statements the import issues for
// it: the events, then athletes, records and personal bests, 100,000 lines.
struct TrackData {
    QByteArray file;
    QByteArray sql;

    TrackData()
    {
        // 40,000 athletes and 9,988 records of 100,000 lines, in proportion
        // for a smaller size.
        const int athletes = lineCount * 2 / 5;
        const int records = std::max(lineCount / 10 - eventCount, 0);
        const int pbests = lineCount - eventCount - athletes - records;
        file.reserve(4 << 20);
        sql = "PRAGMA synchronous=FULL;\nBEGIN;\n";
        for (const char* event : events) {
            file += "E," + QByteArray(event) + "\r\n";
            sql += "insert into event ([event]) values (" + quoted(event) + ");\n";
        }
        for (int i = 1; i <= athletes; ++i) {
            const QByteArray first = "First" + number(i % 977);
            const QByteArray surname = surnames[i % 7];
            const QByteArray team = teams[i % 4];
            const QByteArray age = number(9 + i % 8);
            const QByteArray gender = i % 2 ? "M" : "F";
            file += "A," + number(i) + "," + first + "," + surname + "," + age + "," + team + "," + gender + "\r\n";
            sql += "insert into athletes ([number],[firstname],[surname],[age],[team],[gender]) values (" + number(i)
                + "," + quoted(first) + "," + quoted(surname) + "," + age + "," + quoted(team) + ","
                + quoted(gender) + ");\n";
        }
        for (int i = 0; i < records; ++i) {
            const QByteArray gender = i % 2 ? "M" : "F";
            const QByteArray event = events[i % eventCount];
            const QByteArray age = number(9 + i % 8);
            const QByteArray value = Miscl::floatText(10 + (i % 500) / 100.0);
            const QByteArray type = number(1 + i % 4);
            file += "R," + gender + "," + event + "," + age + "," + value + "," + type + "\r\n";
            sql += "insert into record ([gender],[event],[age],[value],[type]) values (" + quoted(gender) + ","
                + quoted(event) + "," + age + "," + value + "," + type + ");\n";
        }
        for (int i = 0; i < pbests; ++i) {
            const QByteArray athlete = number(1 + i / 2);
            const QByteArray event = events[(i % 2) * 6 + (i / 2) % 6];
            const QByteArray value = Miscl::floatText(11 + (i % 900) / 100.0);
            file += "P," + athlete + "," + event + "," + value + "\r\n";
            sql += "insert into pb ([athlete_number],[event],[value]) values (" + athlete + "," + quoted(event) + ","
                + value + ");\n";
        }
        sql += "COMMIT;\n";
    }
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString sqlite3Tool()
{
    return QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
}

// Processor time of the finished child processes, in seconds.
double childProcessorTime()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The tool's own processor time beside the wall-clock time, since the
// benchmark's CPU column counts only this process.
void reportToolTime(benchmark::State& state, double startedAt)
{
    state.counters["tool_cpu_ms"] =
        benchmark::Counter((childProcessorTime() - startedAt) * 1000, benchmark::Counter::kAvgIterations);
}

// Runs sqlite3 on the database; false when it failed.
bool runSqlite3(const QStringList& arguments, const QString& input, const QString& output)
{
    QProcess tool;
    if (!input.isEmpty())
        tool.setStandardInputFile(input);
    tool.setStandardOutputFile(output.isEmpty() ? QProcess::nullDevice() : output);
    tool.start(sqlite3Tool(), arguments);
    return tool.waitForFinished(-1) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// An empty data store, made once, and a fresh copy of it for every run.
struct EmptyStore {
    QTemporaryDir dir;
    QString file;

    EmptyStore()
    {
        { Database db(dir.path(), QStringLiteral("bench-template")); }
        file = dir.filePath(QStringLiteral("VEXO_ACC.db"));
    }

    // A folder holding a fresh copy as VEXO_ACC.db.
    std::unique_ptr<QTemporaryDir> copy() const
    {
        auto folder = std::make_unique<QTemporaryDir>();
        QFile::copy(file, folder->filePath(QStringLiteral("VEXO_ACC.db")));
        return folder;
    }
};

const TrackData& trackData()
{
    static const TrackData data;
    return data;
}

const EmptyStore& emptyStore()
{
    static const EmptyStore store;
    return store;
}

void BM_ImportTrackData(benchmark::State& state)
{
    QTemporaryDir input;
    const QString path = input.filePath(QStringLiteral("meet.csv"));
    writeFile(path, trackData().file);
    for (auto _ : state) {
        state.PauseTiming();
        const auto folder = emptyStore().copy();
        state.ResumeTiming();
        Database db(folder->path(), QStringLiteral("bench"));
        Query query(db);
        const TrackDataCounts counts = ImportTrackData(db, query, path);
        benchmark::DoNotOptimize(counts);
    }
    state.SetItemsProcessed(state.iterations() * lineCount);
}

void BM_Sqlite3InsertSameRows(benchmark::State& state)
{
    if (sqlite3Tool().isEmpty()) {
        state.SkipWithError("sqlite3 is not installed");
        return;
    }
    QTemporaryDir input;
    const QString script = input.filePath(QStringLiteral("meet.sql"));
    writeFile(script, trackData().sql);
    const double startedAt = childProcessorTime();
    for (auto _ : state) {
        state.PauseTiming();
        const auto folder = emptyStore().copy();
        state.ResumeTiming();
        if (!runSqlite3({folder->filePath(QStringLiteral("VEXO_ACC.db"))}, script, QString())) {
            state.SkipWithError("sqlite3 failed");
            return;
        }
    }
    reportToolTime(state, startedAt);
    state.SetItemsProcessed(state.iterations() * lineCount);
}

// A database holding the imported meet, made once, and a fresh copy of it
// for every run.
struct ImportedStore {
    QTemporaryDir dir;

    ImportedStore()
    {
        const QString path = dir.filePath(QStringLiteral("meet.csv"));
        writeFile(path, trackData().file);
        Database db(dir.path(), QStringLiteral("bench-imported"));
        Query query(db);
        ImportTrackData(db, query, path);
        for (const QString& copy : DatabaseBackup::existing(db))
            QFile::remove(copy);
    }

    std::unique_ptr<QTemporaryDir> copy() const
    {
        auto folder = std::make_unique<QTemporaryDir>();
        QFile::copy(dir.filePath(QStringLiteral("VEXO_ACC.db")), folder->filePath(QStringLiteral("VEXO_ACC.db")));
        return folder;
    }
};

void BM_SafetyCopy(benchmark::State& state)
{
    static const ImportedStore store;
    for (auto _ : state) {
        state.PauseTiming();
        const auto folder = store.copy();
        state.ResumeTiming();
        Database db(folder->path(), QStringLiteral("bench"));
        Query query(db);
        benchmark::DoNotOptimize(DatabaseBackup::create(query, QDateTime::currentDateTime()));
    }
    state.SetItemsProcessed(state.iterations() * lineCount);
}

// The scanned meet the export reads, made once.
struct ScannedMeet {
    QTemporaryDir dir;

    ScannedMeet()
    {
        Database db(dir.path(), QStringLiteral("bench-meet"));
        fillScannedMeet(db, resultCount);
    }
};

const ScannedMeet& scannedMeet()
{
    static const ScannedMeet meet;
    return meet;
}

void BM_ExportResults(benchmark::State& state)
{
    const ScannedMeet& meet = scannedMeet();
    QTemporaryDir output;
    const QString path = output.filePath(QStringLiteral("results.csv"));
    for (auto _ : state) {
        Database db(meet.dir.path(), QStringLiteral("bench"));
        Query query(db);
        ExportResults(query, path);
    }
    state.SetItemsProcessed(state.iterations() * resultCount);
}

void BM_Sqlite3WriteSameJoin(benchmark::State& state)
{
    if (sqlite3Tool().isEmpty()) {
        state.SkipWithError("sqlite3 is not installed");
        return;
    }
    const ScannedMeet& meet = scannedMeet();
    QTemporaryDir output;
    const QString path = output.filePath(QStringLiteral("results.csv"));
    const QStringList arguments = {
        QStringLiteral("-csv"), meet.dir.filePath(QStringLiteral("VEXO_ACC.db")),
        QStringLiteral("SELECT date(races.datetime), result.athlete_number, races.event, result.value"
                       " FROM races INNER JOIN result ON races.race_id_pk = result.race_id_pk"
                       " WHERE ((result.athlete_number<>0))")};
    const double startedAt = childProcessorTime();
    for (auto _ : state) {
        if (!runSqlite3(arguments, QString(), path)) {
            state.SkipWithError("sqlite3 failed");
            return;
        }
    }
    reportToolTime(state, startedAt);
    state.SetItemsProcessed(state.iterations() * resultCount);
}

} // namespace

// Three runs each; compare.sh asks for five repetitions of them, a check run
// needs only one.
BENCHMARK(BM_ImportTrackData)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Sqlite3InsertSameRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_SafetyCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportResults)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Sqlite3WriteSameJoin)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
