#include "link/LineWatch.h"

#include "link/LineDevice.h"

#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <csignal>

namespace {

void interrupted(int)
{
}

// A real-time signal nobody else in the program uses, with a handler that
// does nothing and no SA_RESTART, so a blocked TIOCMIWAIT returns EINTR.
// 0 when the signal is taken by someone else.
int watchSignal()
{
    static const int signal = [] {
        const int candidate = SIGRTMAX - 3;
        struct sigaction old {};
        if (::sigaction(candidate, nullptr, &old) < 0 || old.sa_handler != SIG_DFL)
            return 0;
        struct sigaction action {};
        action.sa_handler = interrupted;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        return ::sigaction(candidate, &action, nullptr) < 0 ? 0 : candidate;
    }();
    return signal;
}

// Drivers that wake without a change would spin the watch; after this many
// empty wakes in a row it stops.
constexpr int EmptyWakeLimit = 1000;

} // namespace

ComLineWatch::ComLineWatch(int fd, bool parityCheck, Report report)
    : m_fd(fd)
    , m_parityCheck(parityCheck)
    , m_report(std::move(report))
{
}

ComLineWatch::~ComLineWatch()
{
    stop();
}

bool ComLineWatch::start()
{
    LineCounters counters;
    if (readCounters(m_fd, counters) != 0 || watchSignal() == 0)
        return false;
    m_thread = std::thread([this] { watch(); });
    return true;
}

void ComLineWatch::stop()
{
    // The port's Stop and the thread's own ending may both get here.
    std::lock_guard stopping(m_stopMutex);
    if (!m_thread.joinable())
        return;
    m_stopping = true;
    // The signal can land just before the thread enters the wait and be
    // lost, so it is sent again until the thread has gone.
    std::unique_lock lock(m_mutex);
    while (!m_done) {
        ::pthread_kill(m_thread.native_handle(), watchSignal());
        m_ended.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_done; });
    }
    lock.unlock();
    m_thread.join();
}

void ComLineWatch::watch()
{
    LineCounters before;
    int emptyWakes = 0;
    if (readCounters(m_fd, before) == 0) {
        while (!m_stopping) {
            const int rc = ::ioctl(m_fd, TIOCMIWAIT, TIOCM_CTS | TIOCM_DSR | TIOCM_RNG | TIOCM_CAR);
            if (m_stopping)
                break;
            if (rc < 0 && errno != EINTR)
                break;
            LineCounters now;
            if (readCounters(m_fd, now) != 0)
                break;
            const std::uint32_t flags =
                eventsBetween(before, now, m_parityCheck) & (EV_CTS | EV_DSR | EV_RING | EV_RLSD);
            before = now;
            if (flags) {
                emptyWakes = 0;
                m_report(flags);
            } else if (rc == 0 && ++emptyWakes > EmptyWakeLimit) {
                break;
            }
        }
    }
    std::lock_guard lock(m_mutex);
    m_done = true;
    m_ended.notify_all();
}

bool ComCarrierWait::timedOut(bool carrier)
{
    if (carrier) {
        m_checksWithout = 0;
        return false;
    }
    if (++m_checksWithout < WaitChecks)
        return false;
    m_checksWithout = 0;
    return true;
}
