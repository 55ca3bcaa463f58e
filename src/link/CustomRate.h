#pragma once

// The kernel's termios2 interface, for rates that have no Bxxx constant and
// for reading back the rate a driver actually runs at. Kept in a file of its
// own because the kernel's termios header clashes with the C library's.

// Sets input and output rate in bits per second; 0 or errno.
int setCustomRate(int fd, int rate);
// The output rate the kernel holds for the line; 0 or errno.
int readLineRate(int fd, int& rate);
