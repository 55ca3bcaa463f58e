#pragma once

#include <QApplication>

#include <exception>
#include <functional>

// The application object. No exception ever crosses the Qt event loop: one
// escaping any handler is shown in the standard error box and the program
// runs on.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// What an exception says, as a person reads it.
QString exceptionMessage(std::exception_ptr error);

// Shows what an exception says in the standard error box; for the guard of
// the event loop and for code that must not let an exception leave it.
void showException(std::exception_ptr error);

// Runs a handler's work; whatever it throws is shown in the standard error
// box and goes no further, so the window runs on. False when it threw.
bool runGuarded(const std::function<void()>& work);
