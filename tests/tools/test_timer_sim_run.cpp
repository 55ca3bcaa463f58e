// The built simulator over pseudo-terminals: the test plays the application
// on the printed device, or the serial device itself in --device mode.

#include "timer-sim/RaceFile.h"
#include "timer-sim/RaceTexts.h"
#include "support/Eventually.h"
#include "support/PtyLine.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int bound = 10000; // ms: generous, for slow machines; never a guess at timing

// The simulator as a user starts it, its output gathered line by line.
class Simulator {
public:
    explicit Simulator(const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral(TIMER_SIM_PATH), arguments);
    }
    ~Simulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(bound);
        }
    }

    bool waitForOutput(const QByteArray& piece)
    {
        return eventually(
            [&] { return output().contains(piece) || m_process.state() == QProcess::NotRunning; }, bound)
            && output().contains(piece);
    }

    const QByteArray& output()
    {
        m_output += m_process.readAll();
        return m_output;
    }

    // The device printed on the first line.
    QByteArray devicePath()
    {
        if (!waitForOutput("\n"))
            return {};
        const QByteArray first = output().left(output().indexOf('\n'));
        return first.mid(first.lastIndexOf(' ') + 1);
    }

    // Exit status once it has ended by itself or by the signal.
    int finish(int signal = 0)
    {
        if (signal)
            ::kill(static_cast<pid_t>(m_process.processId()), signal);
        if (!m_process.waitForFinished(bound) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        output();
        return m_process.exitCode();
    }

    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QByteArray m_output;
};

// Opens a device the way the application's serial port does: locked and
// exclusive, non-blocking.
class ApplicationSide {
public:
    explicit ApplicationSide(const QByteArray& path)
        : m_fd(::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        if (m_fd >= 0 && (::flock(m_fd, LOCK_EX | LOCK_NB) < 0 || ::ioctl(m_fd, TIOCEXCL) < 0)) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~ApplicationSide()
    {
        if (m_fd >= 0) {
            ::ioctl(m_fd, TIOCNXCL);
            ::close(m_fd);
        }
    }
    bool valid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

// Reads until size bytes have come (bounded), then whatever else is there
// already, so that a text sent too long shows.
QByteArray readText(int fd, qsizetype size)
{
    QByteArray text;
    auto readWhatIsThere = [&] {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, n);
        return n == 0 || (n < 0 && errno != EAGAIN); // the line is gone
    };
    eventually([&] { return readWhatIsThere() || text.size() >= size; }, bound);
    readWhatIsThere();
    return text;
}

TimerUnitRace fixedRace(int number)
{
    TimerUnitRace race;
    race.number = number;
    race.clockTime = "10:35";
    race.clockDate = "09/12/26";
    return race;
}

const QStringList fixedClock = {"--time", "10:35", "--date", "09/12/26"};

} // namespace

TEST(TimerSimRun, WaitsForTheApplicationThenSendsTheRace)
{
    Simulator sim(QStringList{"--race-number", "12"} + fixedClock);
    const QByteArray path = sim.devicePath();
    ASSERT_TRUE(path.startsWith("/dev/")) << sim.output().constData();
    EXPECT_TRUE(sim.waitForOutput("Put COM11=" + path + " in the [Devices] section of the settings file (VEXO_BARCODE.ini beside the program, vexo-barcode.ini in ~/.local/share/vexo-barcode when installed)\n"));
    ASSERT_TRUE(sim.waitForOutput("Waiting for the application to open " + path));

    ApplicationSide app(path);
    ASSERT_TRUE(app.valid());
    ASSERT_TRUE(sim.waitForOutput("All race texts sent")) << sim.output().constData();
    const QByteArray expected = singleLineRaceText(fixedRace(12));
    EXPECT_EQ(readText(app.fd(), expected.size()), expected);
    EXPECT_TRUE(sim.output().contains("sent race 12 (U12G 100M, 8 places, " + QByteArray::number(expected.size())
                                      + " bytes)\n"))
        << sim.output().constData();

    EXPECT_EQ(sim.finish(SIGTERM), 0);
    EXPECT_TRUE(sim.output().contains("Stopped after sending 1 race(s)")) << sim.output().constData();
}

// With --no-wait the races go out at once and wait in the terminal, raw
// (no CR turned into LF), until it is opened.
TEST(TimerSimRun, MultiLineRacesInChunksNumbersWrapAfter999)
{
    Simulator sim(QStringList{"--form", "multi", "--races", "3", "--race-number", "998", "--chunk", "7",
                              "--chunk-delay", "1", "--race-delay", "0", "--no-wait", "--places", "3"}
                  + fixedClock);
    const QByteArray path = sim.devicePath();
    ASSERT_TRUE(sim.waitForOutput("All race texts sent")) << sim.output().constData();
    EXPECT_FALSE(sim.output().contains("Waiting"));

    QByteArray expected;
    for (const int number : {998, 999, 1}) {
        TimerUnitRace race = fixedRace(number);
        race.places = 3;
        expected += multiLineRaceText(race);
    }
    ApplicationSide app(path);
    ASSERT_TRUE(app.valid());
    EXPECT_EQ(readText(app.fd(), expected.size()), expected);
    EXPECT_TRUE(sim.output().contains("sent race 999 (U12G 100M, 3 places,"));
    EXPECT_TRUE(sim.output().contains("sent race 1 (U12G 100M, 3 places,"));
    EXPECT_EQ(sim.finish(SIGINT), 0);
}

TEST(TimerSimRun, MixedFormsBackToBackWithGarbledRaces)
{
    Simulator sim(QStringList{"--form", "mixed", "--races", "4", "--places", "2", "--garble", "2", "--back-to-back",
                              "--no-wait"}
                  + fixedClock);
    const QByteArray path = sim.devicePath();
    ASSERT_TRUE(sim.waitForOutput("All race texts sent")) << sim.output().constData();
    QByteArray expected;
    for (const int number : {1, 2, 3, 4}) {
        TimerUnitRace race = fixedRace(number);
        race.places = 2;
        const RaceForm form = number % 2 ? RaceForm::SingleLine : RaceForm::MultiLine;
        expected += number % 2 ? raceText(race, form) : garbledRaceText(race, form);
    }
    ApplicationSide app(path);
    ASSERT_TRUE(app.valid());
    EXPECT_EQ(readText(app.fd(), expected.size()), expected);
    EXPECT_TRUE(sim.output().contains("sent 4 races back to back in one write")) << sim.output().constData();
    EXPECT_FALSE(sim.output().contains("Note:"));
    EXPECT_EQ(sim.finish(SIGTERM), 0);
}

TEST(TimerSimRun, FileRacesBackToBackRepeated)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString name = dir.filePath(QStringLiteral("races.txt"));
    const QByteArray contents = singleLineRaceText(fixedRace(5)) + "\r\n" + multiLineRaceText(fixedRace(6));
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();

    Simulator sim({"--file", name, "--back-to-back", "--repeat", "2", "--race-delay", "0"});
    const QByteArray path = sim.devicePath();
    ApplicationSide app(path);
    ASSERT_TRUE(app.valid());
    ASSERT_TRUE(sim.waitForOutput("All race texts sent")) << sim.output().constData();
    const QByteArray pass = singleLineRaceText(fixedRace(5)) + multiLineRaceText(fixedRace(6));
    EXPECT_EQ(readText(app.fd(), 2 * pass.size()), pass + pass);
    EXPECT_EQ(sim.output().count("sent 2 races back to back in one write (" + QByteArray::number(pass.size())
                                 + " bytes)"),
              2)
        << sim.output().constData();
    EXPECT_EQ(sim.finish(SIGTERM), 0);
}

TEST(TimerSimRun, WaitKeySendsARacePerEnterAndEndsWithTheInput)
{
    Simulator sim(QStringList{"--wait-key", "--no-wait", "--races", "2", "--race-number", "7"} + fixedClock);
    const QByteArray path = sim.devicePath();
    ApplicationSide app(path);
    ASSERT_TRUE(app.valid());
    ASSERT_TRUE(sim.waitForOutput("Press Enter to send race 7"));
    EXPECT_FALSE(sim.output().contains("sent race 7"));
    sim.process().write("\n");
    ASSERT_TRUE(sim.waitForOutput("Press Enter to send race 8")) << sim.output().constData();
    EXPECT_EQ(readText(app.fd(), singleLineRaceText(fixedRace(7)).size()), singleLineRaceText(fixedRace(7)));
    sim.process().closeWriteChannel();
    EXPECT_EQ(sim.finish(), 0);
    EXPECT_TRUE(sim.output().contains("End of input after sending 1 race(s)")) << sim.output().constData();
}

// An application killed with the port open leaves the terminal exclusive;
// the simulator, which keeps the terminal alive, clears that.
TEST(TimerSimRun, ClearsTheExclusiveModeOfAnApplicationThatDied)
{
    Simulator sim(QStringList{"--race-number", "3"} + fixedClock);
    const QByteArray path = sim.devicePath();
    ASSERT_TRUE(sim.waitForOutput("Waiting for the application"));
    {
        const int dead = ::open(path.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(dead, 0);
        ASSERT_EQ(::ioctl(dead, TIOCEXCL), 0);
        ::close(dead);
    }
    ASSERT_TRUE(sim.waitForOutput("left exclusive")) << sim.output().constData();
    EXPECT_FALSE(sim.output().contains("sent race"));

    ApplicationSide app(path);
    ASSERT_TRUE(app.valid());
    const QByteArray expected = singleLineRaceText(fixedRace(3));
    EXPECT_EQ(readText(app.fd(), expected.size()), expected);
    EXPECT_EQ(sim.finish(SIGTERM), 0);
}

TEST(TimerSimRun, DeviceModeSendsAndEnds)
{
    PtyLine line;
    ASSERT_TRUE(line.valid());
    const int master = line.master();
    const QByteArray name = line.slavePath();
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    Simulator sim(QStringList{"--device", QString::fromLatin1(name), "--baud", "115200", "--race-number", "21"}
                  + fixedClock);
    EXPECT_EQ(sim.finish(), 0) << sim.output().constData();
    EXPECT_TRUE(sim.output().startsWith("Timer unit simulator on " + QByteArray(name) + " at 115200 baud\n"));
    const QByteArray expected = singleLineRaceText(fixedRace(21));
    EXPECT_EQ(readText(master, expected.size()), expected);
}

TEST(TimerSimRun, FailuresAreToldAndEndTheRun)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain.txt"));
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    Simulator notSerial({"--device", plain});
    EXPECT_EQ(notSerial.finish(), 1);
    EXPECT_TRUE(notSerial.output().contains("is not a serial device")) << notSerial.output().constData();

    Simulator noRaces({"--file", plain});
    EXPECT_EQ(noRaces.finish(), 1);
    EXPECT_TRUE(noRaces.output().contains("holds no race text")) << noRaces.output().constData();

    Simulator badUsage({"--places", "0"});
    EXPECT_EQ(badUsage.finish(), 2);
    EXPECT_TRUE(badUsage.output().contains("--places: give a whole number")) << badUsage.output().constData();
}
