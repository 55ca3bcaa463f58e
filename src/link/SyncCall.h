#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

// Hands calls from a port's event thread to the port's own thread (the main
// thread in this system) and waits for each to return: a blocking queued
// call that Close cannot deadlock against. While Close waits for the thread
// to end it runs the calls the thread is waiting for itself, so a handler
// can still run during Close; and a Close made from inside a handler, whose
// call is still running further up the stack, releases the thread instead
// of waiting for a return that can only come after Close.
class ComSyncCall {
public:
    // Event thread. Queues fn, wakes the owner with post (which must make the
    // owner call runPending), and waits. False when the thread was told to
    // stop: before the call was queued, or while it was running.
    bool call(std::function<void()> fn, const std::function<void()>& post);

    // Owner thread: runs the queued call, if one still waits.
    void runPending();
    // Owner thread: runs queued calls until the event thread has ended.
    void runUntilFinished();

    // No more calls; a waiting event thread whose call is running right now
    // (Close from inside a handler) stops waiting for it.
    void stop();
    // The event thread's last act.
    void finished();

    // Ends delivery for good; a call already running checks it between
    // handlers, so nothing more is delivered once its port was closed.
    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }

    // A call waits for the owner to run it.
    bool waiting() const;

private:
    enum class State { Idle, Pending, Running, Done };

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Idle;
    std::function<void()> m_call;
    bool m_stopping = false;
    bool m_releaseRunning = false;
    bool m_finished = false;
    std::atomic<bool> m_cancelled {false};
};
