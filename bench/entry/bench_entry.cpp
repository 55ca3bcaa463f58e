// The race details window at the speed of a barcode reader: the time from
// the Enter of a scan to the stored row and the repainted grid (one frame is
// 16 ms), and the time to open a race of 500 results (50 ms), over the data
// of a whole meet.

#include "entry/Athleteselectdialog.h"
#include "entry/Racedetailsdialog.h"
#include "entry/ScanChecks.h"
#include "entry/Timederror.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "store/Query.h"
#include "store/RaceText.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QLabel>
#include <QTest>

#include <chrono>
#include <memory>

namespace {

constexpr int athleteCount = 3000;
constexpr int smallRaceCount = 300; // twelve places each
constexpr int bigRacePlaces = 500;

QByteArray raceText(int places)
{
    QByteArray text = "00:00,01/01/00,7,LANE,U12G,100M,,,";
    for (int p = 1; p <= places; ++p)
        text += QByteArray::number(p) + ',' + QByteArray::number(10 + p % 80) + '.' + QByteArray::number(10 + p % 90)
            + ",L" + QByteArray::number(p % 100) + ',';
    return text;
}

// A meet: athletes with personal bests, records, a day of races, and two
// races of 500 places; and the windows as start-up creates them.
struct Meet {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    std::unique_ptr<Query> query;
    std::unique_ptr<TTimedErrorForm> warning;
    std::unique_ptr<TathleteSelectForm> select;
    std::unique_ptr<TRaceDetailsForm> form;
    qint32 smallRace = 0;
    qint32 bigRaces[2] = {0, 0};

    Meet()
    {
        db = std::make_unique<Database>(dir.path(), QStringLiteral("bench"));
        query = std::make_unique<Query>(*db);
        db->inTransaction([&] {
            QSqlQuery q(db->connection());
            q.prepare(QStringLiteral("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (?, ?, ?, ?, ?, ?)"));
            for (int i = 0; i < athleteCount; ++i) {
                q.addBindValue(1000 + i);
                q.addBindValue(QStringLiteral("First%1").arg(i));
                q.addBindValue(QStringLiteral("Surname%1").arg(i % 700));
                q.addBindValue(8 + i % 10);
                q.addBindValue(QStringLiteral("Team%1").arg(i % 30));
                q.addBindValue(i % 2 ? QStringLiteral("M") : QStringLiteral("F"));
                q.exec();
            }
            q.prepare(QStringLiteral("INSERT INTO pb (athlete_number, event, value) VALUES (?, '100M', ?)"));
            for (int i = 0; i < athleteCount; i += 2) {
                q.addBindValue(1000 + i);
                q.addBindValue(12.0 + (i % 50) * 0.05);
                q.exec();
            }
            q.prepare(QStringLiteral("INSERT INTO record (gender, event, age, value, type) VALUES (?, '100M', ?, ?, 1)"));
            for (int age = 8; age < 18; ++age)
                for (const char* gender : {"F", "M"}) {
                    q.addBindValue(QString::fromLatin1(gender));
                    q.addBindValue(age);
                    q.addBindValue(11.0 + (18 - age) * 0.2);
                    q.exec();
                }
        });
        for (int r = 0; r < smallRaceCount; ++r)
            smallRace = storeRaceText(raceText(12), *query);
        for (qint32& race : bigRaces)
            race = storeRaceText(raceText(bigRacePlaces), *query);

        warning = std::make_unique<TTimedErrorForm>();
        select = std::make_unique<TathleteSelectForm>(*db);
        form = std::make_unique<TRaceDetailsForm>(*db, *query, *warning, *select);
    }

    bool openActive(qint32 race)
    {
        form->openForRace(race, QStringLiteral("Race 7 - U12 F 100M"));
        QApplication::setActiveWindow(form.get());
        return QTest::qWaitForWindowActive(form.get());
    }
};

// Made by the first benchmark, gone before the application object.
std::unique_ptr<Meet> theMeet;

Meet& meet()
{
    if (!theMeet)
        theMeet = std::make_unique<Meet>();
    return *theMeet;
}

void key(DataGrid* grid, Qt::Key k, char text = 0)
{
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
    if (text)
        QTest::keyClick(target, text);
    else
        QTest::keyClick(target, k);
}

void BM_ScanToStoredRowAndRepaintedGrid(benchmark::State& state)
{
    Meet& m = meet();
    if (!m.openActive(m.smallRace)) {
        state.SkipWithError("the window did not become active");
        return;
    }
    DataGrid* grid = m.form->resultDBGrid;
    DataSet& results = m.form->resultTable();
    grid->viewport()->repaint();
    static int bib = 0; // runs on from one run of the benchmark to the next
    for (auto _ : state) {
        // Once the last place has its number, the race is scanned again from
        // its first place, which the official moves to by hand (a full race
        // refuses a further scan until then).
        if (results.RecNo() == results.RecordCount() - 1 && !results.FieldByName("athlete_number").IsNull()) {
            results.First();
            key(grid, Qt::Key_Up);
        }
        // A different athlete each time, so that no scan is a repeat, and
        // always a twelve-year-old girl (every tenth athlete from the fifth),
        // as the race is.
        for (const char digit : QByteArray::number(1000 + 4 + 10 * (bib++ % (athleteCount / 10))))
            key(grid, Qt::Key_unknown, digit);
        const auto start = std::chrono::steady_clock::now();
        key(grid, Qt::Key_Return);
        grid->viewport()->repaint();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    // A warning that an athlete already holds a place may come, since the
    // athletes come round again; a refusal may not.
    const QString shown = m.warning->Label1->text();
    if (m.warning->isVisible()
        && (shown == TTimedErrorForm::sameNumberText() || shown == ScanChecks::noPlaceLeftText()))
        state.SkipWithError("a scan was refused");
    QSqlQuery stored(m.db->connection());
    stored.exec(QStringLiteral("SELECT count(*) FROM result WHERE athlete_number IS NOT NULL AND race_id_pk = %1")
                    .arg(m.smallRace));
    // The race, opened again by the next run, resumes at its first empty
    // place: the places fill across runs.
    static qint64 scanned = 0;
    scanned += state.iterations();
    if (!stored.next() || stored.value(0).toInt() != std::min<qint64>(scanned, 12))
        state.SkipWithError("the scans were not stored");
}
BENCHMARK(BM_ScanToStoredRowAndRepaintedGrid)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_OpenRaceOf500Results(benchmark::State& state)
{
    Meet& m = meet();
    m.form->hide();
    int which = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        m.form->openForRace(m.bigRaces[which++ % 2], QStringLiteral("Race 7 - U12 F 100M"));
        m.form->repaint();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (m.form->resultTable().RecordCount() != bigRacePlaces)
            state.SkipWithError("the race did not open");
        m.form->hide();
    }
}
BENCHMARK(BM_OpenRaceOf500Results)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theMeet.reset();
    return 0;
}
