#pragma once

#include "link/LineEvents.h"

#include <QByteArray>

#include <termios.h>

// The device-file side of a port. Every function returns 0 or the errno of
// the call that failed, so the port can raise its own code with the number.

// Opens a serial device for the port: reading and writing, never as the
// controlling terminal, non-blocking, closed on exec. Exclusive twice over:
// an advisory lock shuts out other programs that lock (and a second open in
// this one), TIOCEXCL every other open but root's. The device's settings are
// saved in original for closeLine. On failure nothing stays open.
int openLine(const QByteArray& path, int& fd, termios& original);
// Puts the saved settings back and closes. Unsent output is dropped first:
// closing waits for it otherwise, for up to half a minute when a handshake
// holds the line.
void closeLine(int fd, const termios& original);

// A device without modem lines at all (pseudo-terminals, some adapters)
// answers the modem-line calls so; such a line is no failure.
bool noModemLines(int error);
int readModemLines(int fd, int& lines);
int setModemLines(int fd, int lines, bool on);

// The driver's counters; noModemLines(error) when the driver keeps none.
int readCounters(int fd, LineCounters& counters);

// Bytes the kernel holds in its receive and transmit buffers.
int inputWaiting(int fd, int& count);
int outputWaiting(int fd, int& count);
