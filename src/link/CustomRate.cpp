#include "link/CustomRate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

int setCustomRate(int fd, int rate)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) < 0)
        return errno;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
    if (ioctl(fd, TCSETS2, &t) < 0)
        return errno;
    return 0;
}

int readLineRate(int fd, int& rate)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) < 0)
        return errno;
    rate = static_cast<int>(t.c_ospeed);
    return 0;
}
