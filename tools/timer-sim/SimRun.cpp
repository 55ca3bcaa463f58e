#include "timer-sim/SimRun.h"

#include "timer-sim/Console.h"
#include "timer-sim/SimLine.h"
#include "timer-sim/StopSignal.h"

#include <QDateTime>
#include <QFileInfo>

#include <unistd.h>

#include <cerrno>

SimRun::SimRun(const SimOptions& options, SimLine& line, QList<QByteArray> fileRaces)
    : m_options(options)
    , m_line(line)
    , m_fileRaces(std::move(fileRaces))
{
}

int SimRun::run()
{
    const QString path = QString::fromUtf8(m_line.path());
    if (m_line.pseudoTerminal()) {
        say(QStringLiteral("Timer unit simulator on %1").arg(path));
        say(QStringLiteral("Put COM11=%1 in the [Devices] section of the settings file (VEXO_BARCODE.ini beside the program, vexo-barcode.ini in ~/.local/share/vexo-barcode when installed)").arg(path));
    } else {
        say(QStringLiteral("Timer unit simulator on %1 at %2 baud").arg(path).arg(m_options.baud));
    }

    bool first = true;
    for (int round = 0; m_options.repeat == 0 || round < m_options.repeat; ++round) {
        const QList<Sending> sendings = pass();
        for (Sending sending : sendings) {
            if (m_options.waitKey) {
                say(QStringLiteral("Press Enter to send %1 (Ctrl+D or Ctrl+C ends)").arg(sending.description));
                if (!waitForEnter())
                    return stopped();
            } else if (!first && !m_line.pause(m_options.raceDelayMs)) {
                return stopped();
            }
            first = false;
            if (!waitForReader())
                return stopped();
            // A generated race is stamped with the clock when it goes out.
            if (sending.generatedIndex >= 0)
                sending = generated(sending.generatedIndex);
            if (!send(sending.text))
                return stopped();
            m_sent += sending.races;
            say(QStringLiteral("sent %1").arg(sending.description));
        }
    }

    m_line.drain();
    if (!m_line.pseudoTerminal())
        return 0;
    // The application would see a hang-up if the pseudo-terminal went away
    // now, so it stays until the user ends the simulator.
    say(QStringLiteral("All race texts sent; %1 stays open until Ctrl+C").arg(path));
    while (m_line.pause(1000)) {
    }
    return stopped();
}

QList<SimRun::Sending> SimRun::pass() const
{
    QList<Sending> sendings;
    if (!m_options.file.isEmpty()) {
        const QString name = QFileInfo(m_options.file).fileName();
        for (int i = 0; i < m_fileRaces.size(); ++i) {
            const QByteArray& text = m_fileRaces[i];
            const qsizetype lines = text.count('\n') + text.count('\r') - text.count("\r\n");
            sendings.append({text, QStringLiteral("race text %1 of %2 (%3 lines, %4 bytes)")
                                       .arg(i + 1)
                                       .arg(name)
                                       .arg(lines)
                                       .arg(text.size())});
        }
    } else {
        for (int i = 0; i < m_options.races; ++i)
            sendings.append(generated(i));
    }
    if (!m_options.backToBack || sendings.size() < 2)
        return sendings;
    Sending all;
    for (const Sending& sending : sendings)
        all.text += sending.text;
    all.races = static_cast<int>(sendings.size());
    all.description = QStringLiteral("%1 races back to back in one write (%2 bytes)")
                          .arg(sendings.size())
                          .arg(all.text.size());
    return {all};
}

SimRun::Sending SimRun::generated(int index) const
{
    TimerUnitRace race = m_options.race;
    for (int i = 0; i < index; ++i)
        race.number = nextRaceNumber(race.number);
    const QDateTime now = QDateTime::currentDateTime();
    if (m_options.stampTime)
        race.clockTime = now.toString(QStringLiteral("hh:mm")).toLatin1();
    if (m_options.stampDate)
        race.clockDate = now.toString(QStringLiteral("dd/MM/yy")).toLatin1();
    const RaceForm form = m_options.mixedForms ? (index % 2 ? RaceForm::MultiLine : RaceForm::SingleLine)
                                               : m_options.form;
    const bool garbled = m_options.garble > 0 && (index + 1) % m_options.garble == 0;
    const QByteArray text = garbled ? garbledRaceText(race, form) : raceText(race, form);
    QString places = QStringLiteral("%1 places").arg(race.places);
    if (race.untimedPlaces > 0)
        places += QStringLiteral(", %1 without a time").arg(race.untimedPlaces);
    if (garbled)
        places += QStringLiteral(", garbled");
    return {text,
            QStringLiteral("race %1 (%2 %3, %4, %5 bytes)")
                .arg(race.number)
                .arg(QString::fromUtf8(race.ageGroup), QString::fromUtf8(race.event), places)
                .arg(text.size()),
            index};
}

bool SimRun::waitForReader()
{
    if (!m_line.pseudoTerminal() || !m_options.waitForOpen)
        return true;
    SimLine::Reader reader = m_line.reader();
    if (reader == SimLine::Reader::Unknown) {
        // Without TIOCGEXCL (older kernels) the open cannot be seen.
        return true;
    }
    if (reader == SimLine::Reader::Open)
        return true;
    const QString path = QString::fromUtf8(m_line.path());
    say(QStringLiteral("Waiting for the application to open %1 (--no-wait sends at once)").arg(path));
    while (reader == SimLine::Reader::Closed) {
        if (!m_line.pause(100))
            return false;
        reader = m_line.reader();
    }
    say(QStringLiteral("The application opened %1").arg(path));
    return true;
}

bool SimRun::waitForEnter()
{
    while (!m_keys.contains('\n')) {
        bool ready = false;
        if (!m_line.pause(1000, STDIN_FILENO, &ready))
            return false;
        if (!ready)
            continue;
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n == 0) {
            say(QStringLiteral("End of input after sending %1 race(s)").arg(m_sent));
            return false;
        }
        if (n < 0 && errno != EINTR && errno != EAGAIN)
            return false;
        if (n > 0)
            m_keys.append(buffer, n);
    }
    m_keys.remove(0, m_keys.indexOf('\n') + 1);
    return true;
}

bool SimRun::send(const QByteArray& text)
{
    if (m_options.chunk <= 0 || m_options.chunk >= text.size())
        return m_line.write(text);
    for (qsizetype at = 0; at < text.size(); at += m_options.chunk) {
        if (at > 0 && !m_line.pause(m_options.chunkDelayMs))
            return false;
        if (!m_line.write(text.mid(at, m_options.chunk)))
            return false;
    }
    return true;
}

int SimRun::stopped() const
{
    if (StopSignal::raised())
        say(QStringLiteral("Stopped after sending %1 race(s)").arg(m_sent));
    return 0;
}
