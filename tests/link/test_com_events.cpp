// Event delivery over pseudo-terminals: which handlers run, on which
// thread, with what; the receive queue's own events; and Close against an
// event thread that waits for a synchronous call.

#include "support/Eventually.h"
#include "support/PtyLine.h"

#include <QTest>

#include "link/CPort.h"
#include "link/ComError.h"
#include "link/ComThread.h"
#include "store/ErrorReport.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

#include <QThread>

#include <fcntl.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

// Reads every waiting character the way the race reception does: Count
// may exceed what one ReadStr returns.
QByteArray readWaiting(TComPort& port, int count)
{
    QByteArray all;
    while (count > 0) {
        QByteArray chunk;
        const int got = port.ReadStr(chunk, count);
        if (got == 0)
            break;
        all += chunk;
        count -= got;
    }
    return all;
}

// A port on a fresh pseudo-terminal whose OnRxChar gathers what arrives.
struct Receiver {
    explicit Receiver(TSyncMethod sync = smThreadSync)
    {
        port.SetPort(COM11);
        port.SetSyncMethod(sync);
        port.SetOnRxChar([this](QObject* sender, int count) {
            EXPECT_EQ(sender, &port);
            const QByteArray chunk = readWaiting(port, count);
            std::lock_guard lock(mutex);
            onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
            ++calls;
            received += chunk;
        });
    }
    qsizetype size()
    {
        std::lock_guard lock(mutex);
        return received.size();
    }

    PtyLine line {COM11};
    TComPort port;
    std::mutex mutex;
    QByteArray received;
    int calls = 0;
    bool onMainThread = true;
};

class ReportedErrors {
public:
    ReportedErrors()
    {
        setErrorReporter([this](const QString& message) { messages << message; });
    }
    ~ReportedErrors() { setErrorReporter(nullptr); }
    QStringList messages;
};

} // namespace

class SyncMethods : public ::testing::TestWithParam<TSyncMethod> {};

TEST_P(SyncMethods, ReceivedCharactersReachOnRxChar)
{
    Receiver rx(GetParam());
    ASSERT_TRUE(rx.line.valid());
    rx.port.Open();
    ASSERT_TRUE(rx.line.send("0123456789"));
    ASSERT_TRUE(eventually([&] { return rx.size() >= 10; }));
    EXPECT_EQ(rx.received, "0123456789");
    EXPECT_GE(rx.calls, 1);
    EXPECT_EQ(rx.onMainThread, GetParam() != smNone);
    rx.port.Close();
}

TEST_P(SyncMethods, CloseFromInsideAHandlerReturns)
{
    Receiver rx(GetParam());
    std::atomic<int> calls = 0;
    std::atomic<bool> closed = false;
    // Under smNone this runs on the event thread, which Close cannot wait for.
    rx.port.SetOnRxChar([&](QObject*, int) {
        if (++calls == 1) {
            rx.port.Close();
            closed = true;
        }
    });
    rx.port.Open();
    ASSERT_TRUE(rx.line.send("x"));
    ASSERT_TRUE(eventually([&] { return closed.load(); }));
    EXPECT_FALSE(rx.port.Connected());
    // The port is usable again at once, and nothing more came from the old thread.
    EXPECT_NO_THROW(rx.port.Open());
    QTest::qWait(20);
    EXPECT_EQ(calls, 1);
}

INSTANTIATE_TEST_SUITE_P(AllMethods, SyncMethods, ::testing::Values(smThreadSync, smWindowSync, smNone));

TEST(ComEvents, OnlyTheWatchedEventsAreDelivered)
{
    // Every operation for an event counts itself.
    class CountingPort : public TComPort {
    public:
        std::atomic<int> others = 0;
        std::atomic<int> rxChars = 0;

    protected:
        void DoOnRxChar() override
        {
            ++rxChars;
            TComPort::DoOnRxChar();
        }
        void DoOnTxEmpty() override { ++others; }
        void DoOnBreak() override { ++others; }
        void DoOnRingChange() override { ++others; }
        void DoOnCTSChange() override { ++others; }
        void DoOnDSRChange() override { ++others; }
        void DoOnRxFlag() override { ++others; }
        void DoOnRLSDChange() override { ++others; }
        void DoOnError() override { ++others; }
        void DoOnRx80Full() override { ++others; }
    };
    PtyLine line(COM11);
    CountingPort port;
    port.SetPort(COM11);
    port.SetEvents({evRxChar});
    port.SetEventChar('\n');
    TComBuffer small;
    small.SetInputSize(16);
    port.SetBuffer(small);
    QByteArray received;
    port.SetOnRxChar([&](QObject*, int count) { received += readWaiting(port, count); });
    port.Open();
    // Event characters and a queue past 80 % would each raise an event if watched.
    ASSERT_TRUE(line.send("line one\nline two\n"));
    ASSERT_TRUE(eventually([&] { return received.size() >= 18; }));
    EXPECT_EQ(received, "line one\nline two\n");
    EXPECT_GE(port.rxChars, 1);
    EXPECT_EQ(port.others, 0);
}

TEST(ComEvents, QueueEventsAndNullDiscarding)
{
    PtyLine line(COM11);
    TComPort port;
    port.SetPort(COM11);
    port.SetEventChar('#');
    port.SetDiscardNull(true);
    TComBuffer buffer;
    buffer.SetInputSize(100);
    port.SetBuffer(buffer);
    int flags = 0;
    int full = 0;
    port.SetOnRxFlag([&](QObject*) { ++flags; });
    port.SetOnRx80Full([&](QObject*) { ++full; });
    port.Open();

    ASSERT_TRUE(line.send(QByteArray("ab\0c#", 5)));
    ASSERT_TRUE(eventually([&] { return flags == 1; }));
    QByteArray got;
    EXPECT_EQ(port.ReadStr(got, 10), 4);
    EXPECT_EQ(got, "abc#");
    EXPECT_EQ(full, 0);

    // Nobody reads: past 80 bytes of the 100 the queue says so once, and
    // bytes beyond its size wait in the kernel rather than being dropped.
    QByteArray burst;
    for (int i = 0; i < 300; ++i)
        burst += static_cast<char>('A' + i % 26);
    ASSERT_TRUE(line.send(burst.left(85)));
    ASSERT_TRUE(eventually([&] { return full == 1; }));
    ASSERT_TRUE(line.send(burst.mid(85)));
    ASSERT_TRUE(eventually([&] { return port.InputCount() >= 300; }));
    EXPECT_EQ(readWaiting(port, 300), burst);
    EXPECT_EQ(full, 1);
    EXPECT_EQ(port.LastErrors(), TComErrors {});
}

TEST(ComEvents, AThrowingHandlerDoesNotEndDelivery)
{
    ReportedErrors reported;
    Receiver rx;
    int calls = 0;
    rx.port.SetOnRxChar([&](QObject*, int count) {
        rx.received += readWaiting(rx.port, count);
        if (++calls == 1)
            throw Exception(QStringLiteral("Failed to Read race data correctly"));
    });
    rx.port.Open();
    ASSERT_TRUE(rx.line.send("first"));
    ASSERT_TRUE(eventually([&] { return !reported.messages.isEmpty(); }));
    EXPECT_EQ(reported.messages, QStringList {QStringLiteral("Failed to Read race data correctly")});
    ASSERT_TRUE(rx.line.send("second"));
    ASSERT_TRUE(eventually([&] { return rx.received.endsWith("second"); }));
    EXPECT_EQ(rx.received, "firstsecond");
    EXPECT_EQ(reported.messages.size(), 1);
}

TEST(ComEvents, CloseRunsTheCallTheThreadWaitsFor)
{
    Receiver rx;
    rx.port.Open();
    ASSERT_TRUE(rx.line.send("race"));
    // No event loop runs here: the thread reads, asks for the main thread
    // and waits, as it would while the main thread is busy elsewhere.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!rx.port.EventThread()->WaitingForOwner() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(rx.port.EventThread()->WaitingForOwner());
    EXPECT_EQ(rx.calls, 0);

    rx.port.Close();
    EXPECT_FALSE(rx.port.Connected());
    // The waiting call ran inside Close: the characters were delivered.
    EXPECT_EQ(rx.received, "race");
    // The queued wake-up that arrives later finds nothing to run.
    QTest::qWait(20);
    EXPECT_EQ(rx.calls, 1);
}

TEST(ComEvents, CloseDuringABurstReturns)
{
    Receiver rx;
    rx.port.Open();
    ::fcntl(rx.line.master(), F_SETFL, O_NONBLOCK);
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        const QByteArray chunk(64, 'z');
        while (!stop) {
            if (::write(rx.line.master(), chunk.constData(), static_cast<size_t>(chunk.size())) < 0)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    for (int round = 0; round < 5; ++round) {
        const qsizetype before = rx.size();
        ASSERT_TRUE(eventually([&] { return rx.size() > before + 1000; }));
        rx.port.Close();
        EXPECT_FALSE(rx.port.Connected());
        rx.port.Open();
    }
    rx.port.Close();
    stop = true;
    writer.join();
}

TEST(ComEvents, AMegabyteArrivesCompleteAndInOrder)
{
    Receiver rx;
    rx.port.Open();
    QByteArray data(1024 * 1024, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 7 + i / 251) % 256);
    std::thread writer([&] { rx.line.send(data); });
    const bool complete = eventually([&] { return rx.size() >= data.size(); }, 120000);
    writer.join();
    ASSERT_TRUE(complete) << rx.size() << " bytes of " << data.size();
    EXPECT_TRUE(rx.received == data);
}

TEST(ComEvents, BytesQueuedBeforeAnUnplugReachTheReaderBeforeTheFailure)
{
    ReportedErrors reported;
    Receiver rx;
    rx.port.Open();
    ASSERT_TRUE(rx.line.send("12.34,B1\r\n"));
    // The thread has moved the bytes into the port's queue and waits for
    // the main thread, which is busy; meanwhile the adapter goes away.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!rx.port.EventThread()->WaitingForOwner() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(rx.port.EventThread()->WaitingForOwner());
    rx.line.unplug();

    ASSERT_TRUE(eventually([&] { return rx.calls > 0 || !reported.messages.isEmpty(); }));
    EXPECT_EQ(rx.received, "12.34,B1\r\n");
    EXPECT_TRUE(reported.messages.isEmpty()) << reported.messages.join('\n').toStdString();
    // The failure shows at the next question put to the device.
    EXPECT_THROW(rx.port.InputCount(), EComPort);
    EXPECT_THROW(rx.port.ModemSignals(), EComPort);
}
