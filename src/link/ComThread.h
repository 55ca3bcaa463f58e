#pragma once

#include "link/ComTypes.h"

#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class TComPort;
class TComWindow;
class ComAsyncList;
class ComErrorState;
class ComLineWatch;
class ComReceiveQueue;
class ComSyncCall;

// The event thread of an open port. It sleeps in poll() on the device and
// on two eventfds (FStopEvent for Stop; another for room freed in the
// receive queue, modem-line changes and written output) and costs nothing
// while the port is quiet. It moves received bytes into the port's queue,
// turns what happened into event flags and hands them to the port's
// handlers by the port's SyncMethod; only when they have returned does it
// wait for the next event.
class TComThread : public QThread {
    Q_OBJECT

public:
    // Created suspended: the port holds it before it runs, and starts it.
    explicit TComThread(TComPort* AComPort);
    ~TComThread() override;

    // Asks the thread to end; it does once the handlers it runs have returned.
    void Stop();
    // A synchronous call waits for the port's thread to run it.
    bool WaitingForOwner() const;

    // For the port: the channel Close runs the pending calls through.
    std::shared_ptr<ComSyncCall> syncCall() const { return m_sync; }
    // For the port: Close came from a handler on this thread, and the port's
    // descriptor is about to be closed under it.
    void Detach() { m_detached = true; }
    // For the port: output was written, so evTxEmpty has something to wait for.
    void NoteTransmit();

protected:
    void run() override;

private:
    void Execute();
    void DispatchComMsg();
    void SendEvents();
    static void DoEvents(TComPort* port, std::uint32_t mask, const ComSyncCall& sync);
    static void guarded(const std::function<void()>& handler);
    std::uint32_t receive(short revents, bool& hungUp);
    std::uint32_t transmitEvents();
    int transmitWaitMs() const;
    void finish(bool failed);

    TComPort* FComPort;
    std::uint32_t FMask = 0;
    int FStopEvent = -1;
    int m_wakeEvent = -1;
    int m_fd;
    std::uint32_t m_watched;
    TSyncMethod m_syncMethod;
    TComWindow* m_window;
    int m_rate;
    bool m_hasCounters = false;
    std::shared_ptr<ComReceiveQueue> m_queue;
    std::shared_ptr<ComErrorState> m_errors;
    std::shared_ptr<ComAsyncList> m_asyncs;
    std::shared_ptr<ComSyncCall> m_sync;
    std::unique_ptr<ComLineWatch> m_lineWatch;
    std::atomic<std::uint32_t> m_lineFlags {0};
    std::atomic<bool> m_stopping {false};
    std::atomic<bool> m_detached {false};
    std::atomic<bool> m_transmitting {false};
};
