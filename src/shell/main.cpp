// VEXO_BARCODE: start-up of the program.

#include "shell/AppWindows.h"
#include "shell/Application.h"
#include "shell/Main.h"
#include "shell/StartUp.h"
#include "shell/UiServices.h"
#include "store/ErrorReport.h"

#include <QMetaObject>

int main(int argc, char** argv)
{
    Application app(argc, argv);
    Application::setApplicationName(QStringLiteral("VEXO Barcode System"));

    // Failures that have no caller to go back to (a handler that threw on a
    // serial port's event thread) are shown on the main thread.
    setErrorReporter([](const QString& message) {
        QMetaObject::invokeMethod(qApp, [message] { showStandardError(message); }, Qt::QueuedConnection);
    });

    // An unusable database or settings file ends the program after one box.
    const std::unique_ptr<ProgramWindows> windows = startProgram(MainFormPlaces::ofExecutable());
    if (!windows)
        return 1;
    windows->mainForm->show();
    return app.exec();
}
