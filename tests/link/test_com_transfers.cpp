// Reads and writes over pseudo-terminals, with the timeouts' meaning.

#include "support/Eventually.h"
#include "support/PtyLine.h"

#include <QTest>

#include "link/CPort.h"
#include "link/ComError.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

// What the far end receives within the bound.
QByteArray readMaster(const PtyLine& line, qsizetype want)
{
    QByteArray got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
        pollfd in {line.master(), POLLIN, 0};
        if (::poll(&in, 1, 100) > 0) {
            char buffer[4096];
            const ssize_t n = ::read(line.master(), buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
        }
    }
    return got;
}

struct OpenPort {
    explicit OpenPort(TEvents events = AllEvents)
    {
        port.SetPort(COM11);
        port.SetEvents(events);
        port.Open();
    }
    void setReadTimeouts(int interval, int multiplier, int constant)
    {
        TComTimeouts t(port.Timeouts());
        t.SetReadInterval(interval);
        t.SetReadTotalMultiplier(multiplier);
        t.SetReadTotalConstant(constant);
        port.SetTimeouts(t);
    }
    PtyLine line {COM11};
    TComPort port;
};

} // namespace

TEST(ComTransfers, AsyncCallsWithoutARecord)
{
    TComPort port;
    for (auto call : {+[](TComPort& p) { p.WaitForAsync(nullptr); }, +[](TComPort& p) { p.IsAsyncCompleted(nullptr); },
                      +[](TComPort& p) { p.ReadAsync(nullptr, 1, nullptr); }}) {
        try {
            call(port);
            ADD_FAILURE() << "no failure without a record";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.Code(), 4);
            EXPECT_EQ(e.WinCode(), -1);
            EXPECT_EQ(e.message(), QStringLiteral("Invalid Async parameter"));
        }
    }
}

TEST(ComTransfers, ClosedPortFailsWithTheTransferCodes)
{
    TComPort port;
    char buffer[4];
    try {
        port.Write("ab", 2);
        ADD_FAILURE();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 2);
        EXPECT_EQ(e.WinCode(), EBADF);
    }
    try {
        port.Read(buffer, 4);
        ADD_FAILURE();
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 3);
    }
}

TEST(ComTransfers, ReadStrNeverPassesItsBuffer)
{
    OpenPort p(TEvents {}); // no event thread: everything waits in the kernel
    QByteArray sent;
    for (int i = 0; i < 600; ++i)
        sent += static_cast<char>('0' + i % 10);
    ASSERT_TRUE(p.line.send(sent));
    ASSERT_TRUE(eventually([&] { return p.port.InputCount() >= 600; }));

    QByteArray received;
    QByteArray chunk;
    EXPECT_EQ(p.port.ReadStr(chunk, 1000), 255);
    EXPECT_EQ(chunk.size(), 255);
    received += chunk;
    while (p.port.ReadStr(chunk, 1000) > 0)
        received += chunk;
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(chunk.isEmpty());

    PAsync async = nullptr;
    p.port.InitAsync(async);
    QByteArray text;
    EXPECT_EQ(p.port.ReadStrAsync(text, 1000, async), 0);
    EXPECT_EQ(text.size(), 255);
    EXPECT_TRUE(p.port.IsAsyncCompleted(async));
    p.port.DoneAsync(async);
    EXPECT_EQ(async, nullptr);
}

TEST(ComTransfers, WritesReachTheFarEndAndReportTxEmpty)
{
    OpenPort p(TEvents {evTxEmpty});
    int empties = 0;
    p.port.SetOnTxEmpty([&](QObject*) { ++empties; });
    EXPECT_EQ(p.port.WriteStr("hello"), 5);
    p.port.TransmitChar('!');
    EXPECT_EQ(readMaster(p.line, 6), "hello!");
    ASSERT_TRUE(eventually([&] { return empties >= 1; }));
}

TEST(ComTransfers, AWriteThatRunsOutOfTimeReturnsWhatWent)
{
    OpenPort p;
    TComTimeouts t(p.port.Timeouts());
    t.SetWriteTotalMultiplier(0);
    t.SetWriteTotalConstant(50);
    p.port.SetTimeouts(t);
    // Nobody reads the far end, so the pseudo-terminal fills up.
    const QByteArray big(4 * 1024 * 1024, 'w');
    const int written = p.port.Write(big.constData(), static_cast<int>(big.size()));
    EXPECT_GT(written, 0);
    EXPECT_LT(written, big.size());
}

TEST(ComTransfers, ReadTimeouts)
{
    for (TEvents events : {TEvents {}, AllEvents}) {
        SCOPED_TRACE(events.isEmpty() ? "no event thread" : "with event thread");
        OpenPort p(events);
        char buffer[16] = {};

        // The initial timeouts: at once, with nothing.
        EXPECT_EQ(p.port.Read(buffer, 10), 0);

        // A total timeout with nothing arriving: empty, and not before its time.
        p.setReadTimeouts(0, 0, 50);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(p.port.Read(buffer, 10), 0);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));

        // No timeouts: the read waits for all it asked for, across arrivals.
        p.setReadTimeouts(0, 0, 0);
        ASSERT_TRUE(p.line.send("12345"));
        std::thread late([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            p.line.send("67890");
        });
        EXPECT_EQ(p.port.Read(buffer, 10), 10);
        late.join();
        EXPECT_EQ(QByteArray(buffer, 10), "1234567890");

        // Interval and multiplier all ones: back as soon as anything came.
        p.setReadTimeouts(-1, -1, 60000);
        std::thread one([&] { p.line.send("a"); });
        EXPECT_EQ(p.port.Read(buffer, 10), 1);
        one.join();
        EXPECT_EQ(buffer[0], 'a');
    }
}

TEST(ComTransfers, AbortEndsAPendingRead)
{
    OpenPort p;
    p.setReadTimeouts(0, 0, 0);
    PAsync async = nullptr;
    p.port.InitAsync(async);
    char buffer[8];
    EXPECT_EQ(p.port.ReadAsync(buffer, 8, async), 0);
    EXPECT_FALSE(p.port.IsAsyncCompleted(async));
    p.port.AbortAllAsync();
    try {
        p.port.WaitForAsync(async);
        ADD_FAILURE() << "an aborted read completed";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 3);
        EXPECT_EQ(e.WinCode(), ECANCELED);
    }
    p.port.DoneAsync(async);
}
