#pragma once

#include "support/Eventually.h"
#include "support/ProgramFixture.h"
#include "support/PtyLine.h"

#include "link/CPort.h"
#include "store/DataSet.h"

#include <QDeadlineTimer>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <map>

// The program's windows over a fresh folder whose settings file maps COM11
// and COM12 to two timer units, each a pseudo-terminal behind a fixed path;
// each test starts the program with the settings it needs.
class LinkFixture : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        unitA = std::make_unique<PtyLine>(dir.filePath("timer-a"));
        unitB = std::make_unique<PtyLine>(dir.filePath("timer-b"));
    }

    // Writes the settings (defaults, then the given Coms keys, and the
    // Devices section, by default COM11 and COM12 to the two timer units)
    // and starts the program.
    void start(Clock clock, const std::map<QByteArray, QByteArray>& coms = {}, const QByteArray& devices = {})
    {
        std::map<QByteArray, QByteArray> keys {{"baud", "57600"}, {"port", "COM11"}, {"bluetooth", "0"},
                                               {"portname", ""},  {"baud2", "57600"}, {"port2", "COM12"},
                                               {"bluetooth2", "0"}, {"portname2", ""}, {"dualComPorts", "0"}};
        for (const auto& [key, value] : coms)
            keys[key] = value;
        QByteArray ini = "[Coms]\n";
        for (const auto& [key, value] : keys)
            ini += key + '=' + value + '\n';
        ini += "[Devices]\n";
        ini += devices.isNull() ? "COM11=" + QFile::encodeName(unitA->path()) + "\nCOM12="
                                      + QFile::encodeName(unitB->path()) + '\n'
                                : devices;
        writeSettings(ini);
        if (!HasFatalFailure())
            restart(clock);
    }

    // Starts the program again over the settings file as it is now.
    void restart(Clock clock) { ProgramFixture::start(clock); }

    // The first column of the first row, as a number.
    int number(const QString& statement) { return scalar(statement).toInt(); }
    int races() { return count("races"); }
    int results() { return count("result"); }

    // The log entries of the Coms page: each text and its logged length.
    QList<std::pair<QString, int>> logEntries() const
    {
        static const QRegularExpression entry("<(.*?)>Len=(\\d+)\n", QRegularExpression::DotMatchesEverythingOption);
        QList<std::pair<QString, int>> out;
        auto it = entry.globalMatch(main->comsMemo->toPlainText());
        while (it.hasNext()) {
            const auto m = it.next();
            out.append({m.captured(1), m.captured(2).toInt()});
        }
        return out;
    }

    std::unique_ptr<PtyLine> unitA;
    std::unique_ptr<PtyLine> unitB;
};
