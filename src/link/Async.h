#pragma once

#include "link/ComTypes.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// The progress of one transfer: what Linux keeps nowhere for us, the
// "overlapped" record of a read or write that the port carries on when it
// cannot finish at once. Its event is an eventfd, signalled at creation, on
// completion and when the transfer is aborted.
struct TComOverlapped {
    using Clock = std::chrono::steady_clock;

    int Event = -1;
    std::atomic<bool> Pending {false};
    std::atomic<bool> Completed {false};
    int Error = 0; // errno of a failed transfer
    std::atomic<bool> Aborted {false};

    char* ReadBuffer = nullptr; // the caller's, for a read
    QByteArray WriteData;       // a copy, for a write: the caller's buffer may go
    qsizetype Count = 0;
    qsizetype Done = 0;

    // The timeouts in force when the transfer started.
    bool Immediate = false;        // a read that returns at once with what has arrived
    bool FirstByteReturns = false; // a read that returns as soon as anything arrived
    std::optional<Clock::time_point> TotalDeadline;
    std::optional<std::chrono::milliseconds> Interval;
    Clock::time_point LastByte;
    bool HungUp = false;
};

// One transfer in progress; lives from InitAsync to DoneAsync.
struct TAsync {
    TComOverlapped Overlapped;
    TOperationKind Kind = okWrite;
};
using PAsync = TAsync*;

// The five timeouts as the port applied them; -1 reads as all ones.
struct ComActiveTimeouts {
    std::uint32_t readInterval = 0xFFFFFFFFu;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 100;
    std::uint32_t writeTotalConstant = 1000;
};

// Sets the overlapped record's timeouts for a read or write of count bytes
// starting now:
// - read interval all ones with both read totals 0: at once, with what has arrived;
// - read interval and multiplier all ones, constant between: at once when
//   something has arrived, else as soon as a byte comes or the constant runs out;
// - otherwise multiplier * count + constant for the whole transfer (none when
//   both are 0) and, for reads, the interval between two bytes (none when 0).
// A transfer that runs out of time completes with what it has done so far.
void startTimeouts(TComOverlapped& transfer, TOperationKind kind, const ComActiveTimeouts& timeouts);
// True when the transfer has done all it will, as of now.
bool transferFinished(const TComOverlapped& transfer, TOperationKind kind);
// Milliseconds until the nearest deadline; -1 for none.
int transferWaitMs(const TComOverlapped& transfer, TOperationKind kind);

// Every transfer record of a port, so that an abort reaches the pending ones.
class ComAsyncList {
public:
    void add(TAsync* async);
    void remove(TAsync* async);
    void abortAll();

private:
    std::mutex m_mutex;
    std::vector<TAsync*> m_asyncs;
};
