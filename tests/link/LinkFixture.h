#pragma once

#include "PtyLine.h"
#include "shell/RecordingUiServices.h"
#include "store/StoreFixture.h"

#include "link/CPort.h"
#include "link/ComDevices.h"
#include "shell/Main.h"
#include "shell/StartUp.h"
#include "store/DataSet.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <pty.h>
#include <unistd.h>

#include <functional>
#include <map>

// A timer unit on a pseudo-terminal, reached through a fixed path (a
// symbolic link, as /dev/serial/by-id names an adapter) that the settings
// file's Devices section maps a port to. Unplugging closes the master, so
// the port's line hangs up; plugging in again makes a new pseudo-terminal
// behind the same path.
class TimerUnitLine {
public:
    explicit TimerUnitLine(QString path)
        : m_path(std::move(path))
    {
        plugIn();
    }
    ~TimerUnitLine() { unplug(); }
    TimerUnitLine(const TimerUnitLine&) = delete;
    TimerUnitLine& operator=(const TimerUnitLine&) = delete;

    const QString& path() const { return m_path; }

    bool plugIn()
    {
        unplug();
        char name[128] = {};
        int slave = -1;
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
            return false;
        ::close(slave);
        QFile::remove(m_path);
        return ::symlink(name, QFile::encodeName(m_path).constData()) == 0;
    }
    // The adapter's path goes with it, so no other terminal can take its place.
    void unplug()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
        QFile::remove(m_path);
    }

    // Writes everything, blocking while the far side is full.
    bool send(const QByteArray& bytes) const
    {
        return writeAll(m_master, bytes);
    }

private:
    QString m_path;
    int m_master = -1;
};

// Runs the event loop until the condition holds; the bound is generous for
// slow machines and never a guess at timing.
inline bool eventually(const std::function<bool()>& condition, int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}

// The program's windows over a fresh folder whose settings file maps COM11
// and COM12 to two timer units; each test starts the program with the
// settings it needs. Every box and beep is answered by the test.
class LinkFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        places = {dir.path(), dir.filePath("VEXO_BARCODE.ini"), dir.path()};
        unitA = std::make_unique<TimerUnitLine>(dir.filePath("timer-a"));
        unitB = std::make_unique<TimerUnitLine>(dir.filePath("timer-b"));
    }
    void TearDown() override
    {
        windows.reset();
        ComDeviceTable::clear();
    }

    // Real: the status and quiet timers run at their own pace. ByHand: they
    // are set so long that they never fire while a test runs, and the test
    // calls their handlers itself.
    enum class Clock { ByHand, Real };

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
        QFile file(places.settingsFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ini);
        file.close();
        restart(clock);
    }

    // Starts the program again over the settings file as it is now.
    void restart(Clock clock)
    {
        windows.reset();
        windows = createProgramWindows(places);
        main = windows->mainForm;
        if (clock == Clock::ByHand) {
            main->Timer1->setInterval(neverMs);
            main->rxQuietIntervalMs = neverMs;
        }
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    }

    static constexpr int neverMs = 3600 * 1000;

    int rows(const QString& statement)
    {
        QSqlQuery q(main->database().connection());
        q.exec(statement);
        q.next();
        return q.value(0).toInt();
    }
    int races() { return rows("SELECT COUNT(*) FROM races"); }
    int results() { return rows("SELECT COUNT(*) FROM result"); }

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

    QByteArray settingsText() const
    {
        QFile file(places.settingsFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    RecordingUiServices ui;
    QTemporaryDir dir;
    MainFormPlaces places;
    std::unique_ptr<TimerUnitLine> unitA;
    std::unique_ptr<TimerUnitLine> unitB;
    std::unique_ptr<ProgramWindows> windows;
    TMainForm* main = nullptr;
};
