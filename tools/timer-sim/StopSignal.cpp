#include "timer-sim/StopSignal.h"

#include "store/Exception.h"

#include <QString>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

int pipeEnds[2] = {-1, -1};
volatile sig_atomic_t stopRaised = 0;

extern "C" void onStopSignal(int)
{
    const int saved = errno;
    stopRaised = 1;
    const char byte = 's';
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

} // namespace

void StopSignal::install()
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) < 0)
        throw Exception(QStringLiteral("Cannot set up the stop signal: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking call such as tcdrain returns at the signal.
    action.sa_flags = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) < 0)
            throw Exception(QStringLiteral("Cannot catch signal %1: %2")
                                .arg(signal)
                                .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
}

int StopSignal::fd()
{
    return pipeEnds[0];
}

bool StopSignal::raised()
{
    return stopRaised != 0;
}
