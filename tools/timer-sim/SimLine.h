#pragma once

#include <QByteArray>

#include <termios.h>

#include <memory>

// The line the simulator sends on: the master side of a pseudo-terminal of
// its own, or a serial device. Every wait polls the stop signal, so a stop
// ends any write or pause at once. Failures throw Exception.
class SimLine {
public:
    enum class Reader { Open, Closed, Unknown };

    // Opens a pseudo-terminal pair and sets the slave raw at the rate. The
    // slave stays open here as well, so that the terminal does not hang up
    // each time the application closes it and opens it again.
    static std::unique_ptr<SimLine> openPseudoTerminal(int baud);
    // Opens a serial device raw at the rate, 8 data bits, no parity, one
    // stop bit, no flow control; its settings are put back at the end.
    static std::unique_ptr<SimLine> openDevice(const QByteArray& path, int baud);

    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    // The device the application opens: the slave of the pseudo-terminal.
    const QByteArray& path() const { return m_path; }
    bool pseudoTerminal() const { return m_slave >= 0; }

    // Whether the application has the pseudo-terminal open. The application
    // locks the device (flock) and makes it exclusive (TIOCEXCL) while it
    // has it open, so an exclusive slave that nobody holds the lock on was
    // left by an application that ended without closing it: that mode is
    // cleared here, or the next start of the application could not open it.
    Reader reader();

    // Writes every byte, waiting while the line is full. False when a stop
    // signal came first.
    bool write(const QByteArray& bytes);

    // Waits for the time, or until fd (when not -1) is readable. False on a
    // stop signal, true otherwise; ready tells whether fd became readable.
    bool pause(int ms, int fd = -1, bool* ready = nullptr);

    // Waits until a device has sent out what was written (a pseudo-terminal
    // has nothing to wait for).
    void drain();

private:
    SimLine(int fd, int slave, QByteArray path);
    bool waitOnce(short events, int ms, int fd, bool* ready);
    void discardInput();

    int m_fd = -1;    // written to: the master, or the device
    int m_slave = -1; // pseudo-terminal only
    QByteArray m_path;
    termios m_original {};
    bool m_restore = false;
    bool m_clearedNotice = false;
};
