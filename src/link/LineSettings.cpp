#include "link/LineSettings.h"

#include <array>
#include <cerrno>
#include <cstdlib>

int baudRateValue(TBaudRate rate)
{
    static constexpr std::array<int, BaudRateCount> rates = {
        110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};
    if (rate < br110 || rate > br115200)
        return 0;
    return rates[static_cast<std::size_t>(rate)];
}

void setRawMode(termios& t)
{
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR);
    // A break would otherwise arrive as a NUL inside a race text; breaks are
    // counted by the driver and reported from its counters instead.
    t.c_iflag |= IGNBRK;
    // Modem lines never block opening or reading: the timer unit drives none.
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

int setDataBits(termios& t, TDataBits bits)
{
    tcflag_t size = 0;
    switch (bits) {
    case dbFive: size = CS5; break;
    case dbSix: size = CS6; break;
    case dbSeven: size = CS7; break;
    case dbEight: size = CS8; break;
    default: return EINVAL;
    }
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | size;
    return 0;
}

int setParity(termios& t, TParityBits bits, bool check, bool replace, unsigned char replaceChar)
{
    tcflag_t flags = 0;
    switch (bits) {
    case prNone: break;
    case prOdd: flags = PARENB | PARODD; break;
    case prEven: flags = PARENB; break;
    // With CMSPAR the parity bit is fixed: PARODD gives mark (1), without it space (0).
    case prMark: flags = PARENB | CMSPAR | PARODD; break;
    case prSpace: flags = PARENB | CMSPAR; break;
    default: return EINVAL;
    }
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR)) | flags;

    // Without INPCK a byte with a parity error arrives as received and the
    // driver counts the error, which is what checking without replacing asks.
    // With INPCK the kernel hands such a byte over as NUL; it can replace by
    // nothing else.
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR | PARMRK);
    if (check && replace) {
        if (replaceChar != 0)
            return EINVAL;
        t.c_iflag |= INPCK;
    }
    return 0;
}

int setStopBits(termios& t, TStopBits stopBits, TDataBits dataBits)
{
    switch (stopBits) {
    case sbOneStopBit:
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
        return 0;
    case sbTwoStopBits:
        t.c_cflag |= CSTOPB;
        return 0;
    case sbOne5StopBits:
        // UARTs send one and a half stop bits for "two" with five-bit words;
        // with other sizes there is no such line setting.
        if (dataBits != dbFive)
            return EINVAL;
        t.c_cflag |= CSTOPB;
        return 0;
    }
    return EINVAL;
}

int setFlowControl(termios& t, const LineSettings& s)
{
    // Linux has no DSR/DTR handshake, cannot raise RTS only while sending
    // and cannot drop bytes while DSR is off.
    if (s.outDSRFlow || s.controlDTR == dtrHandshake || s.controlRTS == rtsToggle || s.dsrSensitivity)
        return EINVAL;
    // CRTSCTS couples both directions: output waits for CTS and the kernel
    // drives RTS as the input handshake. One without the other cannot be had.
    const bool rtsHandshakeWanted = s.controlRTS == rtsHandshake;
    if (s.outCTSFlow != rtsHandshakeWanted)
        return EINVAL;
    if ((s.xonXoffIn || s.xonXoffOut) && s.xonChar == s.xoffChar)
        return EINVAL;

    if (s.outCTSFlow)
        t.c_cflag |= CRTSCTS;
    else
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (s.xonXoffOut)
        t.c_iflag |= IXON;
    if (s.xonXoffIn)
        t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);
    return 0;
}

bool setStandardSpeed(termios& t, int rate)
{
    speed_t speed = 0;
    switch (rate) {
    case 110: speed = B110; break;
    case 300: speed = B300; break;
    case 600: speed = B600; break;
    case 1200: speed = B1200; break;
    case 2400: speed = B2400; break;
    case 4800: speed = B4800; break;
    case 9600: speed = B9600; break;
    case 19200: speed = B19200; break;
    case 38400: speed = B38400; break;
    case 57600: speed = B57600; break;
    case 115200: speed = B115200; break;
    default: return false;
    }
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return true;
}

int buildLineTermios(termios& t, const LineSettings& s)
{
    if (s.rate <= 0)
        return EINVAL;
    setRawMode(t);
    if (const int error = setDataBits(t, s.dataBits))
        return error;
    if (const int error = setParity(t, s.parity, s.parityCheck, s.parityReplace, s.replaceChar))
        return error;
    if (const int error = setStopBits(t, s.stopBits, s.dataBits))
        return error;
    if (const int error = setFlowControl(t, s))
        return error;
    setStandardSpeed(t, s.rate);
    return 0;
}

bool lineFlagsKept(const termios& wanted, const termios& actual)
{
    constexpr tcflag_t controlFlags = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
    constexpr tcflag_t inputFlags = IXON | IXOFF | INPCK;
    if ((wanted.c_cflag & controlFlags) != (actual.c_cflag & controlFlags))
        return false;
    if ((wanted.c_iflag & inputFlags) != (actual.c_iflag & inputFlags))
        return false;
    if (wanted.c_iflag & (IXON | IXOFF))
        return wanted.c_cc[VSTART] == actual.c_cc[VSTART] && wanted.c_cc[VSTOP] == actual.c_cc[VSTOP];
    return true;
}

bool lineRateKept(int wanted, int actual)
{
    return std::abs(actual - wanted) * 50 <= wanted;
}
