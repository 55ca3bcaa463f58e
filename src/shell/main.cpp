// VEXO_BARCODE: start-up of the program.

#include "shell/AppWindows.h"
#include "shell/Application.h"
#include "shell/Main.h"
#include "shell/SessionEnd.h"
#include "shell/StartUp.h"
#include "shell/UiServices.h"
#include "store/ErrorReport.h"

#include <QIcon>
#include <QMetaObject>

#include <csignal>

namespace {

// The bib with its barcode: the desktop's icon theme has it when the
// program is installed, the program's own copy serves a copied folder.
QIcon programIcon()
{
    QIcon own;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        own.addFile(QStringLiteral(":/icons/vexo-barcode-%1.png").arg(size));
    return QIcon::fromTheme(QStringLiteral("vexo-barcode"), own);
}

} // namespace

int main(int argc, char** argv)
{
    // A write past the user's file-size limit (ulimit -f) would end the
    // program by this signal in the middle of a backup copy or a commit;
    // ignored, the write fails and the box says what was not written.
    std::signal(SIGXFSZ, SIG_IGN);

    Application app(argc, argv);
    Application::setApplicationName(QStringLiteral("VEXO Barcode System"));
    // The desktop groups the program's windows under its menu entry by these.
    Application::setOrganizationName(QStringLiteral("VEXO"));
    Application::setDesktopFileName(QStringLiteral("org.vexo.BarcodeSystem"));
    Application::setWindowIcon(programIcon());

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
    // A logout stores the pending edits as the close box does.
    const SessionEndWatch sessionEnd(*windows->mainForm);
    return app.exec();
}
