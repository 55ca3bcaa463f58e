// vexo-results: the meet's results for every browser on the field's
// network, read from the station's database and never written.

#include "results-board/BoardOptions.h"
#include "results-board/HttpServer.h"
#include "results-board/MeetReader.h"
#include "results-board/QrCode.h"
#include "results-board/ResultsBoard.h"

#include "shell/EngineSettings.h"
#include "store/Exception.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(stopPipe[1], &byte, 1);
}

// Ctrl+C and a service stop end the event loop, so the database connection
// closes as it should.
void quitOnSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, stopPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(stopPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vexo-results"));
    QTextStream out(stdout);
    QTextStream err(stderr);

    BoardOptions options;
    QString message;
    bool exitNow = false;
    if (!BoardOptions::parse(app.arguments(), options, message, exitNow)) {
        err << "vexo-results: " << message << Qt::endl;
        return 2;
    }
    if (exitNow) {
        out << message;
        return 0;
    }
    if (options.dataFolder.isEmpty())
        options.dataFolder = BoardOptions::defaultDataFolder(QCoreApplication::applicationDirPath());

    DatabaseSettings settings;
    const QString settingsFile = BoardOptions::settingsFile(options.dataFolder);
    try {
        if (!settingsFile.isEmpty())
            settings = readDatabaseSettings(settingsFile);
    } catch (const EDatabaseError& e) {
        err << "vexo-results: " << e.message() << Qt::endl;
        return 1;
    }

    ResultsBoard board(std::make_unique<MeetReader>(settings, options.dataFolder));
    HttpServer server([&board](HttpConnection* c, const HttpRequest& r) { board.handle(c, r); });
    if (!server.listen(options.listen, options.port, message)) {
        err << "vexo-results: cannot serve on port " << options.port << ": " << message << Qt::endl;
        return 1;
    }
    const QStringList addresses = boardAddresses(options.listen, server.port());
    if (!addresses.isEmpty())
        board.setAddress(addresses.first());
    board.start();
    quitOnSignals();

    out << "vexo-results serves the meet " << MeetReader(settings, options.dataFolder).description() << " at:\n";
    for (const QString& a : addresses)
        out << "  " << a << '\n';
    if (!board.meet().problem.isEmpty())
        out << board.meet().problem << '\n';
    if (!addresses.isEmpty())
        out << QrCode::encode(addresses.first()).terminal();
    out.flush();
    return app.exec();
}
