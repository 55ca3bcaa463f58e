#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// The desktop ends its session (a logout, a shutdown) by sending the program
// SIGTERM. While this watch lives, that signal closes the window as its
// close box does, so the pending edits are stored first and a window whose
// edit cannot be stored stays open and says why; without it, the signal
// would end the program at once and drop them.
//
// The signal handler only writes a byte to a socket pair; the window is
// closed on the main thread when the event loop reads it.
class SessionEndWatch : public QObject {
public:
    explicit SessionEndWatch(QWidget& window);
    ~SessionEndWatch() override;

private:
    QSocketNotifier* m_notifier = nullptr;
};
