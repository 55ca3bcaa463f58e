#include "link/Async.h"

#include "link/ReceiveQueue.h"

#include <algorithm>

namespace {

constexpr std::uint32_t AllOnes = 0xFFFFFFFFu;

} // namespace

void startTimeouts(TComOverlapped& t, TOperationKind kind, const ComActiveTimeouts& timeouts)
{
    using std::chrono::milliseconds;
    const auto now = TComOverlapped::Clock::now();
    t.Immediate = false;
    t.FirstByteReturns = false;
    t.TotalDeadline.reset();
    t.Interval.reset();
    t.LastByte = now;

    std::uint64_t multiplier = 0;
    std::uint64_t constant = 0;
    if (kind == okRead) {
        const std::uint32_t interval = timeouts.readInterval;
        multiplier = timeouts.readTotalMultiplier;
        constant = timeouts.readTotalConstant;
        if (interval == AllOnes && multiplier == 0 && constant == 0) {
            t.Immediate = true;
            return;
        }
        if (interval == AllOnes && multiplier == AllOnes && constant > 0 && constant < AllOnes) {
            t.FirstByteReturns = true;
            t.TotalDeadline = now + milliseconds(constant);
            return;
        }
        if (interval != 0 && interval != AllOnes)
            t.Interval = milliseconds(interval);
    } else {
        multiplier = timeouts.writeTotalMultiplier;
        constant = timeouts.writeTotalConstant;
    }
    if (multiplier != 0 || constant != 0)
        t.TotalDeadline = now + milliseconds(static_cast<std::int64_t>(multiplier * static_cast<std::uint64_t>(t.Count) + constant));
}

bool transferFinished(const TComOverlapped& t, TOperationKind kind)
{
    if (t.Done >= t.Count || t.Error != 0)
        return true;
    if (kind == okRead) {
        if (t.Immediate || (t.FirstByteReturns && t.Done > 0))
            return true;
        if (t.HungUp)
            return true;
    }
    const auto now = TComOverlapped::Clock::now();
    if (t.TotalDeadline && now >= *t.TotalDeadline)
        return true;
    return kind == okRead && t.Interval && t.Done > 0 && now - t.LastByte >= *t.Interval;
}

int transferWaitMs(const TComOverlapped& t, TOperationKind kind)
{
    using std::chrono::ceil;
    using std::chrono::milliseconds;
    const auto now = TComOverlapped::Clock::now();
    std::optional<TComOverlapped::Clock::time_point> next = t.TotalDeadline;
    if (kind == okRead && t.Interval && t.Done > 0) {
        const auto intervalEnd = t.LastByte + *t.Interval;
        if (!next || intervalEnd < *next)
            next = intervalEnd;
    }
    if (!next)
        return -1;
    const auto left = ceil<milliseconds>(*next - now).count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 24 * 3600 * 1000));
}

void ComAsyncList::add(TAsync* async)
{
    std::lock_guard lock(m_mutex);
    m_asyncs.push_back(async);
}

void ComAsyncList::remove(TAsync* async)
{
    std::lock_guard lock(m_mutex);
    m_asyncs.erase(std::remove(m_asyncs.begin(), m_asyncs.end(), async), m_asyncs.end());
}

void ComAsyncList::abortAll()
{
    std::lock_guard lock(m_mutex);
    for (TAsync* async : m_asyncs) {
        if (async->Overlapped.Pending && !async->Overlapped.Completed) {
            async->Overlapped.Aborted = true;
            signalEventFd(async->Overlapped.Event);
        }
    }
}
