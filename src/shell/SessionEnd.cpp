#include "shell/SessionEnd.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] is read by the event loop, [1] written by the signal handler.
int signalPair[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    // Nothing can be done in a signal handler about a full socket: a
    // byte already waiting closes the window anyway.
    [[maybe_unused]] const ssize_t written = ::write(signalPair[1], &byte, 1);
}

} // namespace

SessionEndWatch::SessionEndWatch(QWidget& window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPair) != 0)
        return; // the session's end then ends the program as before
    m_notifier = new QSocketNotifier(signalPair[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [target = QPointer<QWidget>(&window)] {
        char bytes[16];
        while (::read(signalPair[0], bytes, sizeof bytes) > 0) {
        }
        if (target)
            target->close();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
}

SessionEndWatch::~SessionEndWatch()
{
    if (!m_notifier)
        return;
    std::signal(SIGTERM, SIG_DFL);
    delete m_notifier;
    ::close(signalPair[0]);
    ::close(signalPair[1]);
    signalPair[0] = signalPair[1] = -1;
}
