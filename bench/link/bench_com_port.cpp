// Two figures of the serial component:
// - QuietPort: wake-ups and CPU time of the event thread of an open port on
//   which nothing arrives (the aim: none at all);
// - RxThroughput: bytes per second delivered to an OnRxChar handler that
//   reads them with ReadStr, through a pseudo-terminal (the aim: 1 MB/s and
//   more, far beyond any serial line).

#include "link/CPort.h"
#include "link/ComDevices.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSet>

#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

struct Pty {
    Pty()
    {
        char name[128] = {};
        int slave = -1;
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave);
            ComDeviceTable::map(COM11, QByteArray(name));
        }
    }
    ~Pty()
    {
        ::close(master);
        ComDeviceTable::map(COM11, {});
    }
    int master = -1;
};

QSet<QString> threadIds()
{
    const QStringList ids = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    return QSet<QString>(ids.begin(), ids.end());
}

struct ThreadUse {
    long long switches = 0; // voluntary and involuntary: each is a wake-up
    long long cpuTicks = 0; // user and system, in clock ticks
};

ThreadUse threadUse(const QString& tid)
{
    ThreadUse use;
    QFile status(QStringLiteral("/proc/self/task/%1/status").arg(tid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                use.switches += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        // Fields after the command name, which is in parentheses: utime is
        // field 14 and stime 15 of the whole line.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            use.cpuTicks = fields[11].toLongLong() + fields[12].toLongLong();
    }
    return use;
}

void QuietPort(benchmark::State& state)
{
    Pty pty;
    TComPort port;
    port.SetPort(COM11);
    port.SetOnRxChar([](QObject*, int) {});
    const QSet<QString> before = threadIds();
    port.Open();
    const QSet<QString> started = threadIds() - before;
    // The event thread settles into its wait first.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    const double seconds = static_cast<double>(state.range(0)) / 1000.0;
    long long wakeups = 0;
    long long ticks = 0;
    for (auto _ : state) {
        ThreadUse first;
        for (const QString& tid : started) {
            const ThreadUse use = threadUse(tid);
            first.switches += use.switches;
            first.cpuTicks += use.cpuTicks;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(state.range(0)));
        ThreadUse last;
        for (const QString& tid : started) {
            const ThreadUse use = threadUse(tid);
            last.switches += use.switches;
            last.cpuTicks += use.cpuTicks;
        }
        wakeups += last.switches - first.switches;
        ticks += last.cpuTicks - first.cpuTicks;
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["threads"] = static_cast<double>(started.size());
    state.counters["wakeups_per_s"] = static_cast<double>(wakeups) / (seconds * iterations);
    state.counters["cpu_ms_per_s"] =
        static_cast<double>(ticks) * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)) / (seconds * iterations);
}
BENCHMARK(QuietPort)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void RxThroughput(benchmark::State& state)
{
    const auto sync = static_cast<TSyncMethod>(state.range(0));
    const qsizetype total = 8 * 1024 * 1024;
    const QByteArray data(total, 'r');
    for (auto _ : state) {
        Pty pty;
        TComPort port;
        port.SetPort(COM11);
        port.SetSyncMethod(sync);
        TComBuffer buffer;
        buffer.SetInputSize(static_cast<unsigned>(state.range(1)));
        port.SetBuffer(buffer);
        std::atomic<qsizetype> received = 0;
        port.SetOnRxChar([&](QObject*, int count) {
            QByteArray chunk;
            while (count > 0) {
                const int got = port.ReadStr(chunk, count);
                if (got == 0)
                    break;
                received += got;
                count -= got;
            }
        });
        port.Open();
        const auto start = std::chrono::steady_clock::now();
        std::thread writer([&] {
            qsizetype done = 0;
            while (done < total) {
                const ssize_t n = ::write(pty.master, data.constData() + done, static_cast<size_t>(total - done));
                if (n <= 0)
                    break;
                done += n;
            }
        });
        while (received < total) {
            if (sync == smNone)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            else
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const auto end = std::chrono::steady_clock::now();
        writer.join();
        port.Close();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * total);
}
BENCHMARK(RxThroughput)
    ->ArgNames({"sync", "queue"})
    ->Args({smThreadSync, 1024})
    ->Args({smThreadSync, 16384})
    ->Args({smNone, 1024})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
