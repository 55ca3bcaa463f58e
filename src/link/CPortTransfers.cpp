// The reads and writes of TComPort. A transfer does at once what the device
// allows and, when the timeouts ask for more, carries on in WaitForAsync or
// IsAsyncCompleted. Reads take from the port's receive queue first, so they
// see the bytes in arrival order whether or not the event thread has taken
// them from the device already.

#include "link/CPort.h"

#include "link/ComError.h"
#include "link/ComThread.h"
#include "link/ReceiveQueue.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// ReadStr and ReadStrAsync read into a text of at most this many characters.
constexpr int ReadStrLimit = 255;

void resetTransfer(TComOverlapped& t)
{
    t.Pending = false;
    t.Completed = false;
    t.Error = 0;
    t.Aborted = false;
    t.ReadBuffer = nullptr;
    t.WriteData.clear();
    t.Count = 0;
    t.Done = 0;
    t.HungUp = false;
}

} // namespace

void TComPort::InitAsync(PAsync& AsyncPtr)
{
    const int event = ::eventfd(1, EFD_CLOEXEC | EFD_NONBLOCK);
    if (event < 0)
        throw EComPort(ecInvalidAsync, errno);
    AsyncPtr = new TAsync;
    AsyncPtr->Overlapped.Event = event;
    m_asyncs->add(AsyncPtr);
}

void TComPort::DoneAsync(PAsync& AsyncPtr)
{
    if (!AsyncPtr)
        return;
    m_queue->removeWaiter(AsyncPtr->Overlapped.Event);
    m_asyncs->remove(AsyncPtr);
    ::close(AsyncPtr->Overlapped.Event);
    delete AsyncPtr;
    AsyncPtr = nullptr;
}

int TComPort::transferCode(const TAsync& async) const
{
    return async.Kind == okWrite ? ecWriteFailed : ecReadFailed;
}

void TComPort::progress(TAsync& async)
{
    TComOverlapped& t = async.Overlapped;
    if (t.Done >= t.Count)
        return;
    if (async.Kind == okRead) {
        int error = 0;
        bool closed = false;
        const qsizetype got = m_queue->take(t.ReadBuffer + t.Done, t.Count - t.Done, FHandle, error, closed);
        if (got > 0) {
            t.Done += got;
            t.LastByte = TComOverlapped::Clock::now();
        }
        if (error)
            t.Error = error;
        else if (closed) {
            // What arrived before the hangup still counts; nothing at all is a failure.
            t.HungUp = true;
            if (t.Done == 0)
                t.Error = EIO;
        }
        return;
    }
    while (t.Done < t.Count) {
        const ssize_t written =
            ::write(FHandle, t.WriteData.constData() + t.Done, static_cast<std::size_t>(t.Count - t.Done));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                t.Error = errno;
            return;
        }
        t.Done += written;
    }
}

void TComPort::endTransfer(TAsync& async)
{
    TComOverlapped& t = async.Overlapped;
    if (async.Kind == okRead)
        m_queue->removeWaiter(t.Event);
    t.Pending = false;
    t.Completed = true;
    signalEventFd(t.Event);
}

int TComPort::WriteAsync(const char* Buffer, int Count, PAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort::CreateNoWinCode(ecInvalidAsync);
    TAsync& async = *AsyncPtr;
    TComOverlapped& t = async.Overlapped;
    resetTransfer(t);
    async.Kind = okWrite;
    t.Count = std::max(Count, 0);
    t.WriteData = QByteArray(Buffer, t.Count);
    if (::fcntl(FHandle, F_GETFD) < 0)
        throw EComPort(ecWriteFailed, errno);
    drainEventFd(t.Event);
    startTimeouts(t, okWrite, m_activeTimeouts);
    progress(async);
    if (t.Error)
        throw EComPort(ecWriteFailed, t.Error);
    if (FEventThread)
        FEventThread->NoteTransmit();
    if (transferFinished(t, okWrite)) {
        endTransfer(async);
        return static_cast<int>(t.Done);
    }
    t.Pending = true;
    return 0;
}

int TComPort::WriteStrAsync(const QByteArray& Str, PAsync AsyncPtr)
{
    return WriteAsync(Str.constData(), static_cast<int>(Str.size()), AsyncPtr);
}

int TComPort::ReadAsync(char* Buffer, int Count, PAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort::CreateNoWinCode(ecInvalidAsync);
    TAsync& async = *AsyncPtr;
    TComOverlapped& t = async.Overlapped;
    m_queue->removeWaiter(t.Event);
    resetTransfer(t);
    async.Kind = okRead;
    t.ReadBuffer = Buffer;
    t.Count = std::max(Count, 0);
    if (::fcntl(FHandle, F_GETFD) < 0)
        throw EComPort(ecReadFailed, errno);
    drainEventFd(t.Event);
    startTimeouts(t, okRead, m_activeTimeouts);
    progress(async);
    if (t.Error)
        throw EComPort(ecReadFailed, t.Error);
    if (transferFinished(t, okRead)) {
        endTransfer(async);
        return static_cast<int>(t.Done);
    }
    t.Pending = true;
    m_queue->addWaiter(t.Event);
    return 0;
}

int TComPort::ReadStrAsync(QByteArray& Str, int Count, PAsync AsyncPtr)
{
    Str.resize(std::clamp(Count, 0, ReadStrLimit));
    return ReadAsync(Str.data(), static_cast<int>(Str.size()), AsyncPtr);
}

int TComPort::WaitForAsync(PAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort::CreateNoWinCode(ecInvalidAsync);
    TAsync& async = *AsyncPtr;
    TComOverlapped& t = async.Overlapped;
    while (!t.Completed) {
        if (t.Aborted) {
            t.Error = ECANCELED;
            break;
        }
        drainEventFd(t.Event);
        progress(async);
        if (transferFinished(t, async.Kind))
            break;
        pollfd fds[2] = {{FHandle, static_cast<short>(async.Kind == okRead ? POLLIN : POLLOUT), 0},
                         {t.Event, POLLIN, 0}};
        const int ready = ::poll(fds, 2, transferWaitMs(t, async.Kind));
        if (ready < 0 && errno != EINTR) {
            t.Error = errno;
            break;
        }
        if (fds[0].revents & POLLNVAL) {
            t.Error = EBADF;
            break;
        }
        // A hung-up device stays "ready"; the next pass finds what it has
        // left, and a write then fails rather than spin.
        if ((fds[0].revents & (POLLHUP | POLLERR)) && async.Kind == okWrite) {
            progress(async);
            if (!transferFinished(t, okWrite))
                t.Error = EIO;
            break;
        }
    }
    if (!t.Completed)
        endTransfer(async);
    if (t.Error)
        throw EComPort(transferCode(async), t.Error);
    return static_cast<int>(t.Done);
}

bool TComPort::IsAsyncCompleted(PAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort::CreateNoWinCode(ecInvalidAsync);
    TAsync& async = *AsyncPtr;
    TComOverlapped& t = async.Overlapped;
    if (!t.Completed) {
        if (t.Aborted)
            t.Error = ECANCELED;
        else
            progress(async);
        if (transferFinished(t, async.Kind))
            endTransfer(async);
    }
    if (t.Completed && t.Error)
        throw EComPort(ecAsyncStatus, t.Error);
    return t.Completed;
}

int TComPort::Write(const char* Buffer, int Count)
{
    PAsync async = nullptr;
    InitAsync(async);
    try {
        WriteAsync(Buffer, Count, async);
        const int written = WaitForAsync(async);
        DoneAsync(async);
        return written;
    } catch (...) {
        DoneAsync(async);
        throw;
    }
}

int TComPort::WriteStr(const QByteArray& Str)
{
    return Write(Str.constData(), static_cast<int>(Str.size()));
}

int TComPort::Read(char* Buffer, int Count)
{
    PAsync async = nullptr;
    InitAsync(async);
    try {
        ReadAsync(Buffer, Count, async);
        const int got = WaitForAsync(async);
        DoneAsync(async);
        return got;
    } catch (...) {
        DoneAsync(async);
        throw;
    }
}

int TComPort::ReadStr(QByteArray& Str, int Count)
{
    PAsync async = nullptr;
    InitAsync(async);
    try {
        ReadStrAsync(Str, Count, async);
        const int got = WaitForAsync(async);
        DoneAsync(async);
        Str.resize(got);
        return got;
    } catch (...) {
        DoneAsync(async);
        Str.clear();
        throw;
    }
}

void TComPort::AbortAllAsync()
{
    if (::fcntl(FHandle, F_GETFD) < 0)
        throw EComPort(ecPurgeFailed, errno);
    m_asyncs->abortAll();
}
