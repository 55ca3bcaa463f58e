#pragma once

#include "link/ComDevices.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <pty.h>
#include <unistd.h>

#include <functional>

// A pseudo-terminal standing in for a serial line: the program (or the port
// under test) opens the slave, the test plays the far end on the master.
// Three ways to reach the slave:
//   PtyLine(port)      the device table maps the port to the slave's name;
//   PtyLine(linkPath)  a fixed path (a symbolic link, as /dev/serial/by-id
//                      names an adapter) that a settings file maps a port
//                      to; unplug() and plugIn() take the adapter away and
//                      bring a new one behind the same path;
//   PtyLine()          the slave's own name (slavePath()); the test holds
//                      the slave open too, so that what another program
//                      writes there and leaves stays readable.
class PtyLine {
public:
    PtyLine()
        : m_holdSlave(true)
    {
        plugIn();
    }
    explicit PtyLine(TPortType port)
    {
        if (plugIn()) {
            ComDeviceTable::map(port, m_slavePath);
            m_forget = [port] { ComDeviceTable::map(port, {}); };
        }
    }
    explicit PtyLine(QString linkPath)
        : m_linkPath(std::move(linkPath))
    {
        plugIn();
    }
    ~PtyLine()
    {
        unplug();
        if (m_forget)
            m_forget();
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool valid() const { return m_master >= 0; }
    int master() const { return m_master; }
    const QByteArray& slavePath() const { return m_slavePath; }
    const QString& path() const { return m_linkPath; }

    // A new pseudo-terminal (behind the fixed path, if there is one).
    bool plugIn()
    {
        unplug();
        char name[128] = {};
        int slave = -1;
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
            return false;
        m_slavePath = QByteArray(name);
        if (m_holdSlave)
            m_slave = slave;
        else
            ::close(slave); // the port opens the slave by name
        if (m_linkPath.isEmpty())
            return true;
        QFile::remove(m_linkPath);
        return ::symlink(name, QFile::encodeName(m_linkPath).constData()) == 0;
    }

    // The far end goes away: the slave side hangs up, and a fixed path goes
    // with it, so that no other terminal can take its place.
    void unplug()
    {
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
        m_master = m_slave = -1;
        if (!m_linkPath.isEmpty())
            QFile::remove(m_linkPath);
    }

    // Writes everything, blocking while the slave side is full.
    bool send(const QByteArray& bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

private:
    QString m_linkPath;
    bool m_holdSlave = false;
    int m_master = -1;
    int m_slave = -1;
    QByteArray m_slavePath;
    std::function<void()> m_forget; // undoes the device table's mapping
};
