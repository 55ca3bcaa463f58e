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
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("An unexpected error occurred");
    }
}

void showException(std::exception_ptr error)
{
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
