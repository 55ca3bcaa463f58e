#pragma once

#include <QApplication>

// The application object. No exception ever crosses the Qt event loop: one
// escaping any handler is shown in the standard error box and the program
// runs on.
class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows what an exception says in the standard error box; for the guard of
// the event loop and for code that must not let an exception leave it.
void showException(std::exception_ptr error);
