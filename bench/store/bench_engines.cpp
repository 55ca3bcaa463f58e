// The work whose speed the officials feel, on each engine behind the alias:
// a race of twelve places stored as it arrives, a scanned athlete number
// stored, a track data file of 100,000 lines imported, and 100,000 results
// exported. PostgreSQL runs in a
// throw-away cluster that this program starts (scripts/pg-cluster, durable
// like the SQLite file: commits wait for the disk), reached over its Unix
// socket; where it cannot start, only the SQLite figures are given.
//
// The import begins with its safety copy of the database, each engine's own
// way; the database is new and empty, so the copy is the same small work
// on both.

#include "BenchSize.h"
#include "exchange/ResultsExport.h"
#include "exchange/TrackDataImport.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "store/Query.h"
#include "store/Race.h"
#include "store/RaceText.h"

#include "ScannedMeet.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

const int lineCount = benchRows(100000);
const int resultCount = benchRows(100000);

// The server's state folder and connection, once started.
struct Server {
    QTemporaryDir state;
    QString connection;
    QString unavailable;

    Server()
    {
        QProcess script;
        script.start(QStringLiteral(VEXO_PG_CLUSTER), {QStringLiteral("start"), state.path(), QStringLiteral("--durable")});
        script.waitForFinished(120000);
        connection = read(QStringLiteral("conninfo"));
        unavailable = read(QStringLiteral("unavailable"));
        if (connection.isEmpty() && unavailable.isEmpty())
            unavailable = QStringLiteral("the server did not start");
    }
    ~Server()
    {
        QProcess::execute(QStringLiteral(VEXO_PG_CLUSTER), {QStringLiteral("stop"), state.path()});
    }
    QString read(const QString& name) const
    {
        QFile file(state.filePath(name));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
};

std::unique_ptr<Server> server;

// A fresh, empty data store on the engine: a new file, or a new database.
struct Store {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    std::unique_ptr<Query> query;

    explicit Store(SqlEngine engine)
    {
        DatabaseSettings settings;
        if (engine == SqlEngine::PostgreSQL) {
            static int made = 0;
            const QString name = QStringLiteral("bench%1").arg(++made);
            {
                QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-admin"));
                admin.setConnectOptions(server->connection + QStringLiteral(" dbname=postgres"));
                if (!admin.open() || !QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(name)))
                    qFatal("cannot make the database %s: %s", qPrintable(name), qPrintable(admin.lastError().text()));
                admin.close();
            }
            QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
            settings = {SqlEngine::PostgreSQL, server->connection + QStringLiteral(" dbname=") + name};
        }
        db = std::make_unique<Database>(settings, dir.path(), QStringLiteral("bench"));
        query = std::make_unique<Query>(*db);
    }
    ~Store()
    {
        query.reset();
        db.reset();
    }
};

SqlEngine engineOf(const benchmark::State& state)
{
    return state.range(0) ? SqlEngine::PostgreSQL : SqlEngine::SQLite;
}

const QByteArray twelvePlaceRace =
    "10:42,18/05/24,17,LANE,U12G,100M,H,2,1,12.34,B01,2,12.56,B02,3,12.71,B03,4,12.80,B04,"
    "5,12.95,B05,6,13.01,B06,7,13.22,B07,8,13.40,B08,9,13.41,B09,10,13.77,B10,"
    "11,14.02,B11,12,14.50,B12,\r\n";

void BM_TwelvePlaceRaceStored(benchmark::State& state)
{
    Store store(engineOf(state));
    // Races come faster than any timer unit sends them: the clock moves on
    // a key step each time it is read, so that every key is new.
    QDateTime now = QDateTime::currentDateTime();
    RACE::setClock([&now] { return now = now.addMSecs(9); });
    for (auto _ : state)
        storeRaceText(twelvePlaceRace, *store.query);
    RACE::setClock({});
    state.SetItemsProcessed(state.iterations());
}

// As the race details window stores a scan: the place's row of the race's
// results edited and posted.
void BM_ScanStored(benchmark::State& state)
{
    Store store(engineOf(state));
    const qint32 race = storeRaceText(twelvePlaceRace, *store.query);
    DataSet results(*store.db, "result");
    results.setIndexName("PrimaryKey");
    results.setFilter(QStringLiteral("race_id_pk = %1").arg(race));
    results.setFiltered(true);
    results.Open();
    int athlete = 1;
    for (auto _ : state) {
        results.moveTo(athlete % results.RecordCount());
        results.Edit();
        results.setFieldValue("athlete_number", athlete++);
        results.Post();
    }
    state.SetItemsProcessed(state.iterations());
}

// A track data file of the meet's size: its events, 39,994 athletes, 10,000
// records and 50,000 personal bests.
QByteArray trackDataFile()
{
    QByteArray file;
    const char* const events[] = {"60M", "75M", "100M", "150M", "200M", "300M"};
    int line = 0;
    for (const char* name : events) {
        file += "E," + QByteArray(name) + "\r\n";
        ++line;
    }
    for (int i = 1; line < 40000; ++i, ++line)
        file += "A," + QByteArray::number(i) + ",First" + QByteArray::number(i % 977) + ",O'Brien,"
            + QByteArray::number(9 + i % 8) + ",Riverside AC," + (i % 2 ? "M" : "F") + "\r\n";
    for (int i = 0; line < 50000; ++i, ++line)
        file += QByteArray(i % 2 ? "R,M," : "R,F,") + events[i % 6] + "," + QByteArray::number(9 + i % 8) + ","
            + QByteArray::number(10 + (i % 500) / 100.0) + ",1\r\n";
    for (int i = 0; line < lineCount; ++i, ++line)
        file += "P," + QByteArray::number(1 + i / 2) + "," + events[(i % 2) * 3 + (i / 2) % 3] + ","
            + QByteArray::number(11 + (i % 900) / 100.0) + "\r\n";
    return file;
}

void BM_TrackDataLinesStored(benchmark::State& state)
{
    QTemporaryDir input;
    const QString path = input.filePath(QStringLiteral("meet.csv"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(trackDataFile()) < 0)
            qFatal("cannot write %s", qPrintable(path));
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto store = std::make_unique<Store>(engineOf(state));
        state.ResumeTiming();
        ImportTrackData(*store->db, *store->query, path);
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * lineCount);
}

void BM_ResultsExported(benchmark::State& state)
{
    Store store(engineOf(state));
    fillScannedMeet(*store.db, resultCount);
    QTemporaryDir output;
    const QString path = output.filePath(QStringLiteral("results.csv"));
    for (auto _ : state)
        ExportResults(*store.query, path);
    state.SetItemsProcessed(state.iterations() * resultCount);
}

void registerOn(int engine)
{
    benchmark::RegisterBenchmark("BM_TwelvePlaceRaceStored", BM_TwelvePlaceRaceStored)
        ->Arg(engine)->Unit(benchmark::kMicrosecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_ScanStored", BM_ScanStored)->Arg(engine)->Unit(benchmark::kMicrosecond)->UseRealTime();
    benchmark::RegisterBenchmark("BM_TrackDataLinesStored", BM_TrackDataLinesStored)
        ->Arg(engine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
    benchmark::RegisterBenchmark("BM_ResultsExported", BM_ResultsExported)
        ->Arg(engine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

} // namespace

// Arguments: 0 SQLite, 1 PostgreSQL.
int main(int argc, char** argv)
{
    // The engines' drivers are plugins, loaded through the application object.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    server = std::make_unique<Server>();
    registerOn(0);
    if (server->unavailable.isEmpty())
        registerOn(1);
    else
        std::fprintf(stderr, "PostgreSQL figures left out: %s\n", qPrintable(server->unavailable));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.reset();
    return 0;
}
