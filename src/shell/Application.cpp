#include "shell/Application.h"

#include "shell/UiServices.h"
#include "store/Exception.h"

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showException(std::current_exception());
        return false;
    }
}

QString exceptionMessage(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        // A box must never be empty: a failure that came without words
        // (a driver that lost its connection said none) still says so.
        if (e.message().trimmed().isEmpty())
            return QStringLiteral("The operation failed, and no reason was given for it.");
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred");
    }
}

void showException(std::exception_ptr error)
{
    // The meet's server out of reach is told without taking the keyboard:
    // an official may be scanning, and the next scan's Enter must not close
    // the box unread.
    try {
        std::rethrow_exception(error);
    } catch (const EConnectionLost& e) {
        UiServices::current().showErrorWithoutFocus(QApplication::activeWindow(), e.message());
        return;
    } catch (...) {
    }
    showStandardError(exceptionMessage(error));
}

bool runGuarded(const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (...) {
        showException(std::current_exception());
        return false;
    }
}
