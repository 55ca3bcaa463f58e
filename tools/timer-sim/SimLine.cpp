#include "timer-sim/SimLine.h"

#include "store/Exception.h"
#include "timer-sim/Console.h"
#include "timer-sim/StopSignal.h"

#include <QDeadlineTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// A slice of every wait: the stale exclusive mode of the pseudo-terminal is
// looked at this often.
constexpr int sliceMs = 100;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void fail(const QString& what, int error)
{
    throw Exception(QStringLiteral("%1: %2").arg(what, systemError(error)));
}

speed_t speedOf(int baud)
{
    switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B230400; // the command line admits no other rate
    }
}

void makeRaw(termios& settings, int baud)
{
    ::cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS | CSIZE);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, speedOf(baud));
    ::cfsetospeed(&settings, speedOf(baud));
}

} // namespace

SimLine::SimLine(int fd, int slave, QByteArray path)
    : m_fd(fd)
    , m_slave(slave)
    , m_path(std::move(path))
{
}

SimLine::~SimLine()
{
    if (m_restore)
        ::tcsetattr(m_fd, TCSANOW, &m_original);
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_fd >= 0)
        ::close(m_fd);
}

std::unique_ptr<SimLine> SimLine::openPseudoTerminal(int baud)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        fail(QStringLiteral("Cannot open a pseudo-terminal"), errno);
    // Owned from here on, so that every failure below closes what is open.
    std::unique_ptr<SimLine> line(new SimLine(master, -1, {}));
    char name[256] = {};
    if (::grantpt(master) < 0 || ::unlockpt(master) < 0 || ::ptsname_r(master, name, sizeof name) != 0)
        fail(QStringLiteral("Cannot prepare the pseudo-terminal"), errno);
    line->m_path = QByteArray(name);
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        fail(QStringLiteral("Cannot open %1").arg(QString::fromLocal8Bit(name)), errno);
    line->m_slave = slave;
    termios settings {};
    if (::tcgetattr(slave, &settings) < 0)
        fail(QStringLiteral("Cannot read the settings of %1").arg(QString::fromLocal8Bit(name)), errno);
    // Raw before anything is written: a terminal in its usual cooked mode
    // would turn each CR into LF and echo the race texts back.
    makeRaw(settings, baud);
    if (::tcsetattr(slave, TCSANOW, &settings) < 0)
        fail(QStringLiteral("Cannot set %1 raw").arg(QString::fromLocal8Bit(name)), errno);
    if (::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) < 0)
        fail(QStringLiteral("Cannot prepare the pseudo-terminal"), errno);
    return line;
}

std::unique_ptr<SimLine> SimLine::openDevice(const QByteArray& path, int baud)
{
    const QString name = QString::fromUtf8(path);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail(QStringLiteral("Cannot open %1").arg(name), errno);
    std::unique_ptr<SimLine> line(new SimLine(fd, -1, path));
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0) {
        if (errno == EWOULDBLOCK)
            throw Exception(QStringLiteral("%1 is in use by another program").arg(name));
        fail(QStringLiteral("Cannot lock %1").arg(name), errno);
    }
    if (::tcgetattr(fd, &line->m_original) < 0) {
        if (errno == ENOTTY)
            throw Exception(QStringLiteral("%1 is not a serial device").arg(name));
        fail(QStringLiteral("Cannot read the settings of %1").arg(name), errno);
    }
    termios settings = line->m_original;
    makeRaw(settings, baud);
    if (::tcsetattr(fd, TCSANOW, &settings) < 0)
        fail(QStringLiteral("Cannot set %1 to %2 baud").arg(name).arg(baud), errno);
    line->m_restore = true;
    return line;
}

SimLine::Reader SimLine::reader()
{
    if (m_slave < 0)
        return Reader::Unknown;
    int exclusive = 0;
    if (::ioctl(m_slave, TIOCGEXCL, &exclusive) < 0)
        return Reader::Unknown;
    if (!exclusive)
        return Reader::Closed;
    if (::flock(m_slave, LOCK_EX | LOCK_NB) < 0)
        return Reader::Open;
    // Nobody holds the lock, so nobody should hold the exclusive mode.
    ::flock(m_slave, LOCK_UN);
    ::ioctl(m_slave, TIOCNXCL);
    if (!m_clearedNotice) {
        say(QStringLiteral("%1 was left exclusive by a program that ended without closing it; cleared, so "
                           "the application can open it again")
                .arg(QString::fromUtf8(m_path)));
        m_clearedNotice = true;
    }
    return Reader::Closed;
}

bool SimLine::write(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (StopSignal::raised())
            return false;
        const ssize_t n = ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            fail(errno == EIO ? QStringLiteral("%1 is gone (unplugged?)").arg(QString::fromUtf8(m_path))
                              : QStringLiteral("Cannot write to %1").arg(QString::fromUtf8(m_path)),
                 errno);
        // The line is full: the application (or the device) has not taken
        // what was written before.
        if (!waitOnce(POLLOUT, sliceMs, -1, nullptr))
            return false;
    }
    return !StopSignal::raised();
}

bool SimLine::pause(int ms, int fd, bool* ready)
{
    if (ready)
        *ready = false;
    QDeadlineTimer deadline(ms);
    do {
        const int slice = static_cast<int>(std::min<qint64>(deadline.remainingTime(), sliceMs));
        if (!waitOnce(0, slice, fd, ready))
            return false;
        if (ready && *ready)
            return true;
        reader();
    } while (!deadline.hasExpired());
    return true;
}

bool SimLine::waitOnce(short events, int ms, int fd, bool* ready)
{
    pollfd fds[3] = {{StopSignal::fd(), POLLIN, 0}, {m_fd, static_cast<short>(events | POLLIN), 0}, {fd, POLLIN, 0}};
    const int count = ::poll(fds, fd >= 0 ? 3 : 2, ms);
    if (count < 0 && errno != EINTR)
        fail(QStringLiteral("Cannot wait on %1").arg(QString::fromUtf8(m_path)), errno);
    if (StopSignal::raised())
        return false;
    if (count <= 0)
        return true;
    if (fds[1].revents & POLLIN)
        discardInput();
    if (fd >= 0 && ready && (fds[2].revents & (POLLIN | POLLHUP)))
        *ready = true;
    // The slave held here keeps a pseudo-terminal from hanging up; a device
    // hangs up when it is unplugged.
    if ((fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) && m_slave < 0)
        throw Exception(QStringLiteral("%1 is gone (unplugged?)").arg(QString::fromUtf8(m_path)));
    return true;
}

void SimLine::discardInput()
{
    // The application never sends; whatever comes back is read and
    // dropped, so that it cannot fill the line up.
    char buffer[512];
    while (::read(m_fd, buffer, sizeof buffer) > 0) {
    }
}

void SimLine::drain()
{
    if (m_slave >= 0)
        return;
    while (::tcdrain(m_fd) < 0) {
        if (errno != EINTR)
            fail(QStringLiteral("Cannot finish sending on %1").arg(QString::fromUtf8(m_path)), errno);
        if (StopSignal::raised())
            return;
    }
}
