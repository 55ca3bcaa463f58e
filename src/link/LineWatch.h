#pragma once

#include "link/LineEvents.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Watches the modem lines of a device whose driver reports their changes.
// TIOCMIWAIT is the kernel's only way to learn of a change without asking
// again and again, and it cannot be polled, so it gets a thread of its own
// that sleeps in it; stop interrupts the wait with a signal. Devices without
// counters (pseudo-terminals, many adapters) get no watch: their lines
// cannot change anyway, or are read by ModemSignals when asked.
class ComLineWatch {
public:
    using Report = std::function<void(std::uint32_t flags)>;

    // report runs on the watch thread with the event flags of a change.
    ComLineWatch(int fd, bool parityCheck, Report report);
    ~ComLineWatch();
    ComLineWatch(const ComLineWatch&) = delete;
    ComLineWatch& operator=(const ComLineWatch&) = delete;

    // False, and no thread, when the device keeps no counters.
    bool start();
    // Interrupts the wait and joins; safe to call more than once.
    void stop();

private:
    void watch();

    int m_fd;
    bool m_parityCheck;
    Report m_report;
    std::mutex m_stopMutex;
    std::thread m_thread;
    std::atomic<bool> m_stopping {false};
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
};

// How long a Bluetooth link is given to come up. A Bluetooth serial device
// (/dev/rfcommN) starts connecting when it is opened, aborts the attempt
// when it is closed, and takes a few seconds to connect; a port closed and
// opened again at every status check while carrier detect is still off
// might never connect. So the port is kept open and its carrier waited for,
// and only a wait of WaitChecks status checks (one a second) in a row
// without carrier asks for the port to be opened again.
class ComCarrierWait {
public:
    static constexpr int WaitChecks = 10;

    // The port was opened: its link has its full time again.
    void restart() { m_checksWithout = 0; }
    // One status check, with whether carrier detect is on; true when the
    // link has had its time without coming up, and the wait starts over.
    bool timedOut(bool carrier);

private:
    int m_checksWithout = 0;
};
