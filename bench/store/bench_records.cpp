// Reading and storing what the track data file and the timer unit deliver,
// one statement per row as the application does it: a reference line, and a
// race of twelve places. Each statement commits on its own.

#include "store/Athlete.h"
#include "store/Database.h"
#include "store/Pbest.h"
#include "store/Query.h"
#include "store/Race.h"
#include "store/RaceText.h"
#include "store/Result.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <memory>

namespace {

struct Store {
    QTemporaryDir dir;
    std::unique_ptr<Database> db = std::make_unique<Database>(dir.path(), QStringLiteral("bench"));
    std::unique_ptr<Query> query = std::make_unique<Query>(*db);

    ~Store()
    {
        query.reset();
        db.reset();
    }
};

void BM_AthleteLineParseAndStore(benchmark::State& state)
{
    Store store;
    int number = 1;
    for (auto _ : state) {
        const QByteArray line = "A," + QByteArray::number(number++) + ",Siobhan,O'Brien-Smythe,12,Harriers AC,F";
        ATHLETE athlete;
        athlete.parse(line);
        athlete.store(*store.query);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_PbestLineParseAndStore(benchmark::State& state)
{
    Store store;
    int number = 1;
    for (auto _ : state) {
        const QByteArray line = "P," + QByteArray::number(number++) + ",100M,14.02";
        PBEST pb;
        pb.parse(line);
        pb.store(*store.query);
    }
    state.SetItemsProcessed(state.iterations());
}

const QByteArray twelvePlaceRace =
    "10:42,18/05/24,17,LANE,U12G,100M,H,2,1,12.34,B01,2,12.56,B02,3,12.71,B03,4,12.80,B04,"
    "5,12.95,B05,6,13.01,B06,7,13.22,B07,8,13.40,B08,9,13.41,B09,10,13.77,B10,"
    "11,14.02,B11,12,14.50,B12,\r\n";

void readAndStoreRace(Query& query)
{
    QByteArray rest = twelvePlaceRace;
    RACE race;
    bool singleLine = false;
    race.parse(rest, singleLine, query);
    race.store(query);
    RESULT result;
    while (result.parseNext(rest, race.race_id_pk, singleLine))
        result.store(query);
}

// Races come faster here than any timer unit sends them: the clock moves on
// a key step each time it is read, so that every key is new.
void runRaces(benchmark::State& state, bool oneTransaction, bool waitForDisk = true)
{
    Store store;
    if (!waitForDisk) {
        store.query->setSQL("PRAGMA synchronous=NORMAL");
        store.query->ExecSQL();
    }
    QDateTime now = QDateTime::currentDateTime();
    RACE::setClock([&now] { return now = now.addMSecs(9); });
    for (auto _ : state) {
        if (oneTransaction)
            storeRaceText(twelvePlaceRace, *store.query);
        else
            readAndStoreRace(*store.query);
    }
    RACE::setClock({});
    state.SetItemsProcessed(state.iterations());
}

void BM_TwelvePlaceRaceParseAndStore(benchmark::State& state)
{
    runRaces(state, false);
}

// A race as the program stores one that arrives or is added by hand: the
// thirteen statements committed once. Most of the time above is the engine
// committing each statement on its own.
void BM_TwelvePlaceRaceInOneTransaction(benchmark::State& state)
{
    runRaces(state, true);
}

// The same with commits that do not wait for the disk (the engine's
// synchronous=NORMAL, which a power cut can undo): the difference from the
// figure above is what the durability of a stored race costs.
void BM_TwelvePlaceRaceInOneTransactionNoDiskWait(benchmark::State& state)
{
    runRaces(state, true, false);
}

} // namespace

BENCHMARK(BM_AthleteLineParseAndStore)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PbestLineParseAndStore)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TwelvePlaceRaceParseAndStore)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TwelvePlaceRaceInOneTransaction)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TwelvePlaceRaceInOneTransactionNoDiskWait)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
