// The queries and line control of TComPort. None checks Connected: on a
// closed port the call fails on the invalid descriptor and raises its code,
// which is how the owner notices a port that is not open.

#include "link/CPort.h"

#include "link/ComError.h"
#include "link/LineDevice.h"
#include "link/ReceiveQueue.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

int TComPort::InputCount()
{
    int waiting = 0;
    const int queued = static_cast<int>(m_queue->count());
    if (const int error = inputWaiting(FHandle, waiting)) {
        // Bytes the event thread took in before the adapter went away are
        // still the reader's: they count, and the failure shows once they
        // have been read. (Closing empties the queue.)
        if (queued > 0)
            return queued;
        throw EComPort(ecQueueStatus, error);
    }
    return queued + waiting;
}

int TComPort::OutputCount()
{
    int waiting = 0;
    if (const int error = outputWaiting(FHandle, waiting))
        throw EComPort(ecQueueStatus, error);
    return waiting;
}

TComStateFlags TComPort::StateFlags()
{
    termios t {};
    if (::tcgetattr(FHandle, &t) < 0)
        throw EComPort(ecQueueStatus, errno);
    TComStateFlags flags;
    // Of the hold states Linux shows only one: output held by a handshake
    // while CTS is down.
    if (t.c_cflag & CRTSCTS) {
        int lines = 0;
        const int error = readModemLines(FHandle, lines);
        if (error && !noModemLines(error))
            throw EComPort(ecQueueStatus, error);
        if (!error && !(lines & TIOCM_CTS))
            flags.insert(fsCTSHold);
    }
    return flags;
}

TComErrors TComPort::LastErrors()
{
    LineCounters counters;
    const int error = readCounters(FHandle, counters);
    if (error == 0)
        m_errors->update(counters);
    else if (!noModemLines(error))
        throw EComPort(ecQueueStatus, error);
    return m_errors->takeAll();
}

TModemSignals TComPort::ModemSignals()
{
    int lines = 0;
    const int error = readModemLines(FHandle, lines);
    if (error == 0)
        return modemSignalsFromLines(lines);
    // A device with no modem lines is working all the same; anything else
    // (EIO once the adapter is unplugged, EBADF while closed) is not.
    if (noModemLines(error))
        return {};
    throw EComPort(ecModemStatus, error);
}

void TComPort::SetBreak(bool OnOff)
{
    if (::ioctl(FHandle, OnOff ? TIOCSBRK : TIOCCBRK) < 0)
        throw EComPort(ecLineControl, errno);
}

void TComPort::SetDTR(bool OnOff)
{
    if (const int error = setModemLines(FHandle, TIOCM_DTR, OnOff))
        throw EComPort(ecLineControl, error);
}

void TComPort::SetRTS(bool OnOff)
{
    if (const int error = setModemLines(FHandle, TIOCM_RTS, OnOff))
        throw EComPort(ecLineControl, error);
}

void TComPort::SetXonXoff(bool OnOff)
{
    // On: carry on as if XON had come; off: hold as if XOFF had come.
    if (::tcflow(FHandle, OnOff ? TCOON : TCOOFF) < 0)
        throw EComPort(ecLineControl, errno);
}

void TComPort::ClearBuffer(bool Input, bool Output)
{
    if (::fcntl(FHandle, F_GETFD) < 0)
        throw EComPort(ecPurgeFailed, errno);
    if (Input) {
        if (::tcflush(FHandle, TCIFLUSH) < 0)
            throw EComPort(ecPurgeFailed, errno);
        m_queue->clear();
    }
    if (Output && ::tcflush(FHandle, TCOFLUSH) < 0)
        throw EComPort(ecPurgeFailed, errno);
}

void TComPort::TransmitChar(char Ch)
{
    // Linux cannot put a byte ahead of its transmit buffer; it goes at the
    // end of it, waiting at most a second for room.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ssize_t written = ::write(FHandle, &Ch, 1);
        if (written == 1)
            return;
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            throw EComPort(ecTransmitChar, errno);
        pollfd out {FHandle, POLLOUT, 0};
        ::poll(&out, 1, 1000);
    }
    throw EComPort(ecTransmitChar, EAGAIN);
}
