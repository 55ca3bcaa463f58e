#include "link/SyncCall.h"

#include <utility>

bool ComSyncCall::call(std::function<void()> fn, const std::function<void()>& post)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return false;
        m_call = std::move(fn);
        m_state = State::Pending;
    }
    post();
    std::unique_lock lock(m_mutex);
    // A call that has not started yet is still run, by Close if need be, and
    // waited for. One that was already running when the stop came is not:
    // that stop came from inside it, and it can only return after Close.
    m_changed.wait(lock, [this] { return m_state == State::Done || m_releaseRunning; });
    const bool done = m_state == State::Done;
    if (done)
        m_state = State::Idle;
    return done;
}

void ComSyncCall::runPending()
{
    std::function<void()> fn;
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Pending)
            return;
        fn = std::move(m_call);
        m_call = nullptr;
        m_state = State::Running;
    }
    // fn reports its own failures; nothing may escape into the event loop
    // and leave the thread waiting.
    try {
        fn();
    } catch (...) {
    }
    std::lock_guard lock(m_mutex);
    m_state = State::Done;
    m_changed.notify_all();
}

void ComSyncCall::runUntilFinished()
{
    std::unique_lock lock(m_mutex);
    while (!m_finished) {
        if (m_state == State::Pending) {
            lock.unlock();
            runPending();
            lock.lock();
            continue;
        }
        m_changed.wait(lock, [this] { return m_finished || m_state == State::Pending; });
    }
}

void ComSyncCall::stop()
{
    std::lock_guard lock(m_mutex);
    m_stopping = true;
    m_releaseRunning = m_state == State::Running;
    m_changed.notify_all();
}

void ComSyncCall::finished()
{
    std::lock_guard lock(m_mutex);
    m_finished = true;
    m_changed.notify_all();
}

bool ComSyncCall::waiting() const
{
    std::lock_guard lock(m_mutex);
    return m_state == State::Pending;
}
