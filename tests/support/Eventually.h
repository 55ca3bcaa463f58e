#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>
#include <QTimer>

#include <functional>

// Runs the event loop until the condition holds or the time is up. The bound
// is generous because CI machines are slow (and slower still under the
// sanitizers); it is never a guess at how long something takes. The loop
// waits for events, so a long text read in short pieces takes no longer than
// the pieces take; a short wake-up catches what another thread changes
// without an event. Before the application object exists (a display started
// first) it sleeps instead. A condition that starts a program to look
// (an X client) wants a longer pause between checks, so as not to flood
// what it asks.
inline bool eventually(const std::function<bool()>& condition, int timeoutMs = 15000, int pauseMs = 2)
{
    QDeadlineTimer deadline(timeoutMs);
    if (!QCoreApplication::instance()) {
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(pauseMs);
        }
        return true;
    }
    QTimer wake;
    wake.start(pauseMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        // As QTest::qWait does: objects deleted later go now.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
