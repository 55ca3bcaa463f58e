#include "link/LineDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

int openLine(const QByteArray& path, int& fd, termios& original)
{
    fd = -1;
    const int opened = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (opened < 0)
        return errno;
    int error = 0;
    if (::flock(opened, LOCK_EX | LOCK_NB) < 0)
        error = errno;
    else if (::tcgetattr(opened, &original) < 0)
        error = errno;
    else if (::ioctl(opened, TIOCEXCL) < 0)
        error = errno;
    if (error) {
        ::close(opened);
        return error;
    }
    fd = opened;
    return 0;
}

void closeLine(int fd, const termios& original)
{
    if (fd < 0)
        return;
    // A hung-up device refuses these; it is closed all the same.
    ::tcflush(fd, TCOFLUSH);
    ::tcsetattr(fd, TCSANOW, &original);
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

bool noModemLines(int error)
{
    return error == ENOTTY || error == EINVAL;
}

int readModemLines(int fd, int& lines)
{
    lines = 0;
    return ::ioctl(fd, TIOCMGET, &lines) < 0 ? errno : 0;
}

int setModemLines(int fd, int lines, bool on)
{
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &lines) < 0 ? errno : 0;
}

int readCounters(int fd, LineCounters& counters)
{
    serial_icounter_struct icount {};
    if (::ioctl(fd, TIOCGICOUNT, &icount) < 0)
        return errno;
    counters.cts = icount.cts;
    counters.dsr = icount.dsr;
    counters.rng = icount.rng;
    counters.dcd = icount.dcd;
    counters.frame = icount.frame;
    counters.parity = icount.parity;
    counters.overrun = icount.overrun;
    counters.brk = icount.brk;
    counters.bufOverrun = icount.buf_overrun;
    return 0;
}

int inputWaiting(int fd, int& count)
{
    count = 0;
    return ::ioctl(fd, TIOCINQ, &count) < 0 ? errno : 0;
}

int outputWaiting(int fd, int& count)
{
    count = 0;
    return ::ioctl(fd, TIOCOUTQ, &count) < 0 ? errno : 0;
}
