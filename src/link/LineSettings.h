#pragma once

#include "link/ComTypes.h"

#include <termios.h>

// What a port asks of its line, gathered from its settings objects.
struct LineSettings {
    int rate = 9600;
    TDataBits dataBits = dbEight;
    TStopBits stopBits = sbOneStopBit;
    TParityBits parity = prNone;
    bool parityCheck = false;
    bool parityReplace = false;
    unsigned char replaceChar = 0;
    bool outCTSFlow = false;
    bool outDSRFlow = false;
    TDTRFlowControl controlDTR = dtrDisable;
    TRTSFlowControl controlRTS = rtsDisable;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    bool dsrSensitivity = false;
    unsigned char xonChar = 17;
    unsigned char xoffChar = 19;
};

// Bits per second of a rate; 0 for a value outside the enumeration.
int baudRateValue(TBaudRate rate);

// The termios helpers, one per concern. Each returns 0, or EINVAL for a
// setting Linux cannot give, so the port refuses it instead of running the
// line other than asked.
void setRawMode(termios& t);
int setDataBits(termios& t, TDataBits bits);
int setParity(termios& t, TParityBits bits, bool check, bool replace, unsigned char replaceChar);
int setStopBits(termios& t, TStopBits stopBits, TDataBits dataBits);
int setFlowControl(termios& t, const LineSettings& settings);
// False when termios has no constant for the rate (14400 and 56000): the
// speed bits are then left alone and the rate goes through setCustomRate.
bool setStandardSpeed(termios& t, int rate);

// All of the above onto t, which should start from the device's own settings.
int buildLineTermios(termios& t, const LineSettings& settings);

// Drivers drop what their hardware cannot do (mark parity, five-bit words,
// hardware handshake) and tcsetattr still succeeds; the port reads the
// settings back and compares the flags that matter.
bool lineFlagsKept(const termios& wanted, const termios& actual);
// A driver may round a rate to what its clock divides to; more than 2 %
// off is beyond what the far end's receiver tolerates.
bool lineRateKept(int wanted, int actual);
