// How long a twelve-place race takes from its line feed to its committed
// rows in the main window (the aim: under 5 ms median):
// - LineFeedToRows: through a pseudo-terminal, the port's event thread, the
//   receive handler, the framing, then, from the event loop, the journal,
//   the store and the races grid re-read, up to the grid holding the new
//   race (the repaint that follows is the window's own);
//   to_handler_median_ms is the serial delivery's share;
// - ProcessRaceData: the same text handed to ProcessRaceData directly, so
//   the serial part's share shows as the difference.
// Both with the database's synchronous=FULL and the journal's own flush to
// disk, as the program runs.
// The races table is emptied every 200 races: a meet has a few hundred, and
// re-reading the grid grows with them.

#include "link/CPort.h"
#include "link/ComDevices.h"
#include "shell/Main.h"
#include "shell/StartUp.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"
#include "store/Database.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

// Boxes would stop a benchmark: any failure is recorded instead.
class QuietUiServices : public UiServices {
public:
    void showError(QWidget*, const QString& message) override { lastError = message; }
    void showErrorWithoutFocus(QWidget*, const QString& message) override { lastError = message; }
    bool runDialog(QDialog&) override { return false; }
    bool confirm(QWidget*, const QString&, Buttons) override { return false; }
    QString openFileName(QWidget*, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&) override { return {}; }
    bool choosePrinter(QWidget*, QPrinter&) override { return false; }
    void beep() override {}
    void showNotice(QWidget*, const QString&) override {}

    QString lastError;
};

QByteArray twelvePlaceRace()
{
    QByteArray text = "00:00,01/01/00,42,LANE,U12G,100M,,1,";
    for (int place = 1; place <= 12; ++place)
        text += QByteArray::number(place) + ",12." + QByteArray::number(10 + place) + ",B"
                + QByteArray::number(place) + ',';
    return text + "\r\n";
}

// The program's windows over a fresh folder, port A on a pseudo-terminal.
struct Program {
    Program()
    {
        char name[128] = {};
        int slave = -1;
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        ::close(slave);
        ComDeviceTable::map(COM11, QByteArray(name));
        UiServices::install(&ui);
        windows = createProgramWindows({dir.path(), dir.filePath(QStringLiteral("VEXO_BARCODE.ini")), dir.path()});
        main = windows->mainForm;
        main->show();
        // The ports open once the window has been shown and painted.
        QDeadlineTimer deadline(10000);
        while (!main->comPortA->Connected() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // No status checks in the middle of a measurement.
        main->Timer1->stop();
    }
    ~Program()
    {
        windows.reset();
        UiServices::install(nullptr);
        ::close(master);
        ComDeviceTable::map(COM11, {});
    }

    bool ready() const { return main && main->comPortA->Connected(); }

    void emptyRaces()
    {
        QSqlQuery q(main->database().connection());
        q.exec(QStringLiteral("DELETE FROM result"));
        q.exec(QStringLiteral("DELETE FROM races"));
        main->RaceTable().Refresh();
    }

    bool send(const QByteArray& bytes) const
    {
        return ::write(master, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    QuietUiServices ui;
    QTemporaryDir dir;
    std::unique_ptr<ProgramWindows> windows;
    TMainForm* main = nullptr;
    int master = -1;
};

using Clock = std::chrono::steady_clock;
using Durations = std::vector<Clock::duration>;

// The median and the slow end of the single races, in milliseconds.
void report(benchmark::State& state, Durations durations)
{
    if (durations.empty())
        return;
    std::sort(durations.begin(), durations.end());
    const auto ms = [&](double fraction) {
        const auto at = static_cast<std::size_t>(fraction * static_cast<double>(durations.size() - 1));
        return std::chrono::duration<double, std::milli>(durations[at]).count();
    };
    state.counters["median_ms"] = ms(0.5);
    state.counters["p90_ms"] = ms(0.9);
    state.counters["max_ms"] = ms(1.0);
}

// Runs the event loop until port A's buffer holds size bytes.
void waitForBuffer(TMainForm& main, qsizetype size)
{
    while (main.rxDataA.pending().size() != size)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

// Runs the event loop until the races grid holds rows races.
void waitForRaces(TMainForm& main, int rows)
{
    while (main.RaceTable().RecordCount() != rows)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

void LineFeedToRows(benchmark::State& state)
{
    Program program;
    if (!program.ready()) {
        state.SkipWithError("port A did not open");
        return;
    }
    const QByteArray text = twelvePlaceRace();
    const QByteArray beforeLineFeed = text.chopped(1);
    // The rows are committed, and the races grid re-read, once the grid
    // holds the new race; the window repaints after that, on its own time.
    TMainForm& main = *program.main;
    Clock::time_point handlerStart;
    main.comPortA->SetOnRxChar([&](QObject* sender, int count) {
        handlerStart = Clock::now();
        main.PortARxChar(sender, count);
    });
    Durations durations;
    Durations deliveries;
    for (auto _ : state) {
        if (durations.size() % 200 == 0)
            program.emptyRaces();
        program.send(beforeLineFeed);
        waitForBuffer(main, beforeLineFeed.size());

        const int rows = main.RaceTable().RecordCount();
        const auto start = Clock::now();
        program.send("\n");
        waitForRaces(main, rows + 1);
        durations.push_back(Clock::now() - start);
        deliveries.push_back(handlerStart - start);
        state.SetIterationTime(std::chrono::duration<double>(durations.back()).count());
    }
    report(state, durations);
    std::sort(deliveries.begin(), deliveries.end());
    state.counters["to_handler_median_ms"] =
        std::chrono::duration<double, std::milli>(deliveries[deliveries.size() / 2]).count();
    if (!program.ui.lastError.isEmpty())
        state.SkipWithError(program.ui.lastError.toStdString().c_str());
}

void ProcessRaceData(benchmark::State& state)
{
    Program program;
    if (!program.ready()) {
        state.SkipWithError("port A did not open");
        return;
    }
    const QByteArray text = twelvePlaceRace();
    Durations durations;
    for (auto _ : state) {
        if (durations.size() % 200 == 0)
            program.emptyRaces();
        const auto start = Clock::now();
        program.main->ProcessRaceData(text, QStringLiteral("A"));
        durations.push_back(Clock::now() - start);
        state.SetIterationTime(std::chrono::duration<double>(durations.back()).count());
    }
    report(state, durations);
    if (!program.ui.lastError.isEmpty())
        state.SkipWithError(program.ui.lastError.toStdString().c_str());
}

} // namespace

BENCHMARK(LineFeedToRows)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1000);
BENCHMARK(ProcessRaceData)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1000);
