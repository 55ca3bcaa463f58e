#include "link/ComThread.h"

#include "link/Async.h"
#include "link/CPort.h"
#include "link/ComError.h"
#include "link/ComWindow.h"
#include "link/LineDevice.h"
#include "link/LineSettings.h"
#include "link/LineWatch.h"
#include "link/ReceiveQueue.h"
#include "link/SyncCall.h"
#include "store/ErrorReport.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::uint32_t ModemFlags = EV_CTS | EV_DSR | EV_RING | EV_RLSD;

int newEventFd()
{
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        throw EComPort(ecOpenFailed, errno);
    return fd;
}

} // namespace

TComThread::TComThread(TComPort* AComPort)
    : FComPort(AComPort)
    , m_fd(AComPort->FHandle)
    , m_watched(eventFlags(AComPort->FEvents))
    , m_syncMethod(AComPort->FSyncMethod)
    , m_window(AComPort->FWindow.data())
    , m_rate(baudRateValue(AComPort->FBaudRate))
    , m_queue(AComPort->m_queue)
    , m_errors(AComPort->m_errors)
    , m_asyncs(AComPort->m_asyncs)
    , m_sync(std::make_shared<ComSyncCall>())
{
    FStopEvent = newEventFd();
    try {
        m_wakeEvent = newEventFd();
    } catch (...) {
        ::close(FStopEvent);
        throw;
    }
    LineCounters counters;
    m_hasCounters = readCounters(m_fd, counters) == 0;
    m_queue->setWakeFd(m_wakeEvent);
    if (m_watched & ModemFlags) {
        m_lineWatch = std::make_unique<ComLineWatch>(m_fd, AComPort->FParity.Check(), [this](std::uint32_t flags) {
            m_lineFlags |= flags;
            signalEventFd(m_wakeEvent);
        });
        if (!m_lineWatch->start())
            m_lineWatch.reset();
    }
}

TComThread::~TComThread()
{
    Stop();
    if (isRunning() && QThread::currentThread() != this)
        m_sync->runUntilFinished();
    wait();
    m_lineWatch.reset();
    m_queue->clearWakeFd(m_wakeEvent);
    ::close(m_wakeEvent);
    ::close(FStopEvent);
}

void TComThread::Stop()
{
    m_stopping = true;
    m_sync->stop();
    signalEventFd(FStopEvent);
    // Before the port closes its descriptor, which the watch sleeps on.
    if (m_lineWatch)
        m_lineWatch->stop();
}

bool TComThread::WaitingForOwner() const
{
    return m_sync->waiting();
}

void TComThread::NoteTransmit()
{
    if (m_watched & EV_TXEMPTY) {
        m_transmitting = true;
        signalEventFd(m_wakeEvent);
    }
}

void TComThread::run()
{
    Execute();
}

void TComThread::Execute()
{
    pollfd fds[3] = {{m_fd, 0, 0}, {FStopEvent, POLLIN, 0}, {m_wakeEvent, POLLIN, 0}};
    bool failed = false;
    while (!m_stopping) {
        // With the queue full the device is left alone until a read makes
        // room (the queue then signals the wake event); hangups still show.
        fds[0].events = m_queue->parkIfFull() ? 0 : POLLIN;
        const int ready = ::poll(fds, 3, transmitWaitMs());
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            failed = true;
            break;
        }
        if (fds[1].revents)
            break;
        FMask = 0;
        if (fds[2].revents & POLLIN) {
            drainEventFd(m_wakeEvent);
            FMask |= m_lineFlags.exchange(0);
        }
        const short revents = fds[0].revents;
        if (revents & POLLNVAL) {
            failed = true;
            break;
        }
        bool hungUp = false;
        if (revents & (POLLIN | POLLHUP | POLLERR))
            FMask |= receive(revents, hungUp);
        if (m_transmitting)
            FMask |= transmitEvents();
        FMask &= m_watched;
        if (FMask)
            DispatchComMsg();
        // An unplugged adapter or a closed far end: like a failed wait, it
        // ends the loop; the owner sees it from ModemSignals and reopens.
        if (hungUp) {
            failed = true;
            break;
        }
    }
    finish(failed);
}

std::uint32_t TComThread::receive(short revents, bool& hungUp)
{
    std::uint32_t flags = 0;
    const ComReceiveQueue::Fill fill = m_queue->fillFrom(m_fd);
    if (fill.added > 0)
        flags |= EV_RXCHAR;
    if (fill.eventChar)
        flags |= EV_RXFLAG;
    if (fill.reached80)
        flags |= EV_RX80FULL;
    if (fill.error == EIO)
        m_errors->add({ceIO});
    hungUp = fill.closed || (fill.added == 0 && (revents & (POLLHUP | POLLERR)));
    if (m_hasCounters) {
        LineCounters counters;
        if (readCounters(m_fd, counters) == 0)
            flags |= m_errors->update(counters) & ~ModemFlags;
    }
    return flags;
}

std::uint32_t TComThread::transmitEvents()
{
    int waiting = 0;
    if (outputWaiting(m_fd, waiting) == 0 && waiting > 0)
        return 0;
    m_transmitting = false;
    return EV_TXEMPTY;
}

int TComThread::transmitWaitMs() const
{
    if (!m_transmitting)
        return -1;
    // Look again when the bytes still waiting should have gone out, ten
    // bits a character; the sleep is bounded both ways.
    int waiting = 0;
    outputWaiting(m_fd, waiting);
    const long long ms = static_cast<long long>(waiting) * 10 * 1000 / std::max(m_rate, 1) + 1;
    return static_cast<int>(std::clamp(ms, 1LL, 1000LL));
}

void TComThread::DispatchComMsg()
{
    switch (m_syncMethod) {
    case smThreadSync: {
        TComPort* const port = FComPort;
        const std::uint32_t mask = FMask;
        const std::shared_ptr<ComSyncCall> sync = m_sync;
        sync->call([port, mask, sync] { DoEvents(port, mask, *sync); },
                   [port, sync] {
                       QMetaObject::invokeMethod(port, [sync] { sync->runPending(); }, Qt::QueuedConnection);
                   });
        break;
    }
    case smWindowSync:
        SendEvents();
        break;
    case smNone:
        DoEvents(FComPort, FMask, *m_sync);
        break;
    }
}

void TComThread::SendEvents()
{
    TComPort* const port = FComPort;
    TComWindow* const window = m_window;
    const std::shared_ptr<ComSyncCall> sync = m_sync;
    for (TEvent event : DispatchOrder) {
        const std::uint32_t flag = eventFlag(event);
        if (!(FMask & flag))
            continue;
        const TComMessage message {CM_COMEVENT, flag, 0};
        const bool delivered = sync->call(
            [port, message, sync] {
                if (sync->cancelled())
                    return;
                TComMessage copy = message;
                guarded([port, &copy] { port->WindowMethod(copy); });
            },
            [window, message, sync] { QCoreApplication::postEvent(window, new TComMessageEvent(message, sync)); });
        if (!delivered)
            return;
    }
}

void TComThread::DoEvents(TComPort* port, std::uint32_t mask, const ComSyncCall& sync)
{
    for (TEvent event : DispatchOrder) {
        const std::uint32_t flag = eventFlag(event);
        if (!(mask & flag))
            continue;
        // The port was closed by a handler: nothing more for it.
        if (sync.cancelled())
            return;
        guarded([port, flag] { port->DispatchFlag(flag); });
    }
}

void TComThread::guarded(const std::function<void()>& handler)
{
    // A handler that throws must not end delivery: the port would look
    // connected while every later race went unread. Its failure goes the
    // way of every failure without a caller, on the main thread.
    QString message;
    try {
        handler();
        return;
    } catch (const Exception& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        message = QStringLiteral("A serial port event handler failed");
    }
    QCoreApplication* const app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        reportError(message);
    else
        QMetaObject::invokeMethod(app, [message] { reportError(message); }, Qt::QueuedConnection);
}

void TComThread::finish(bool failed)
{
    if (m_lineWatch)
        m_lineWatch->stop();
    if (!m_detached) {
        // Pending transfers end, unsent output goes. After a failure the
        // bytes already received stay readable until the port is closed.
        m_asyncs->abortAll();
        ::tcflush(m_fd, failed ? TCOFLUSH : TCIOFLUSH);
        if (!failed)
            m_queue->clear();
    }
    m_sync->finished();
}
