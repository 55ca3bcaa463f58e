// timer-sim: a timer unit for trying the VEXO Barcode System without one.

#include "store/Exception.h"
#include "timer-sim/Console.h"
#include "timer-sim/RaceFile.h"
#include "timer-sim/SimLine.h"
#include "timer-sim/SimOptions.h"
#include "timer-sim/SimRun.h"
#include "timer-sim/StopSignal.h"

#include <QCoreApplication>
#include <QFile>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

QList<QByteArray> readRaceFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    const QList<QByteArray> races = splitRaceFile(file.readAll());
    if (races.isEmpty())
        throw Exception(QStringLiteral("%1 holds no race text").arg(path));
    return races;
}

// Points link at the pseudo-terminal: a new link beside it, renamed over
// the old one, so that a program opening the path never finds it missing.
void pointLink(const QByteArray& link, const QByteArray& target)
{
    const QByteArray fresh = link + ".new";
    ::unlink(fresh.constData());
    if (::symlink(target.constData(), fresh.constData()) != 0 || ::rename(fresh.constData(), link.constData()) != 0)
        throw Exception(QStringLiteral("Cannot point %1 at %2: %3")
                            .arg(QString::fromUtf8(link), QString::fromUtf8(target),
                                 QString::fromLocal8Bit(std::strerror(errno))));
}

// Removes the link if it still points at this run's pseudo-terminal (a newer
// run may have taken it over).
void removeLink(const QByteArray& link, const QByteArray& target)
{
    char pointsAt[4096] = {};
    const ssize_t length = ::readlink(link.constData(), pointsAt, sizeof pointsAt - 1);
    if (length > 0 && QByteArray(pointsAt, length) == target)
        ::unlink(link.constData());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("timer-sim"));

    SimOptions options;
    try {
        options = parseSimOptions(QCoreApplication::arguments());
    } catch (const UsageError& e) {
        complain(QStringLiteral("timer-sim: %1").arg(e.message()));
        complain(QStringLiteral("timer-sim --help lists the options"));
        return 2;
    }
    if (options.help) {
        say(simHelpText());
        return 0;
    }

    try {
        const QList<QByteArray> fileRaces = options.file.isEmpty() ? QList<QByteArray>() : readRaceFile(options.file);
        StopSignal::install();
        const std::unique_ptr<SimLine> line = options.device.isEmpty()
            ? SimLine::openPseudoTerminal(options.baud)
            : SimLine::openDevice(options.device, options.baud);
        if (!options.link.isEmpty())
            pointLink(options.link, line->path());
        SimRun run(options, *line, fileRaces);
        const int status = run.run();
        if (!options.link.isEmpty())
            removeLink(options.link, line->path());
        return status;
    } catch (const Exception& e) {
        complain(QStringLiteral("timer-sim: %1").arg(e.message()));
        return 1;
    }
}
