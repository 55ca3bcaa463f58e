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
        SimRun run(options, *line, fileRaces);
        return run.run();
    } catch (const Exception& e) {
        complain(QStringLiteral("timer-sim: %1").arg(e.message()));
        return 1;
    }
}
