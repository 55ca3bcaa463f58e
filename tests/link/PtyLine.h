#pragma once

#include "link/ComDevices.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

#include <pty.h>
#include <unistd.h>

#include <functional>

// A pseudo-terminal standing in for a serial line: the port opens the slave
// through the device table, the test plays the timer unit on the master.
// Writes every byte to a pseudo-terminal's master, blocking while the slave
// side is full.
inline bool writeAll(int master, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

class PtyLine {
public:
    explicit PtyLine(TPortType port = COM11)
        : m_port(port)
    {
        char name[128] = {};
        int slave = -1;
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) == 0) {
            m_slavePath = QByteArray(name);
            // The port opens the slave by name; the test keeps only the master.
            ::close(slave);
            ComDeviceTable::map(port, m_slavePath);
        }
    }
    ~PtyLine()
    {
        closeMaster();
        ComDeviceTable::map(m_port, {});
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool valid() const { return m_master >= 0; }
    int master() const { return m_master; }
    const QByteArray& slavePath() const { return m_slavePath; }

    // Writes everything, blocking while the slave side is full.
    bool send(const QByteArray& bytes) const
    {
        return writeAll(m_master, bytes);
    }

    // The far end goes away: the slave side hangs up.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    TPortType m_port;
    int m_master = -1;
    QByteArray m_slavePath;
};

// Runs the event loop until the condition holds or the time is up; the
// bound is generous because CI machines are slow, never a guess at timing.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}
