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

void showException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        showStandardError(e.message());
    } catch (const std::exception& e) {
        showStandardError(QString::fromUtf8(e.what()));
    } catch (...) {
        showStandardError(QStringLiteral("An unexpected error occurred"));
    }
}
