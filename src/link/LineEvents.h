#pragma once

#include "link/ComTypes.h"

#include <array>
#include <cstdint>
#include <mutex>

// Event flags of a port event, one bit each; the values are those the
// hidden object of smWindowSync receives as the first message parameter.
inline constexpr std::uint32_t EV_RXCHAR = 0x0001;
inline constexpr std::uint32_t EV_RXFLAG = 0x0002;
inline constexpr std::uint32_t EV_TXEMPTY = 0x0004;
inline constexpr std::uint32_t EV_CTS = 0x0008;
inline constexpr std::uint32_t EV_DSR = 0x0010;
inline constexpr std::uint32_t EV_RLSD = 0x0020;
inline constexpr std::uint32_t EV_BREAK = 0x0040;
inline constexpr std::uint32_t EV_ERR = 0x0080;
inline constexpr std::uint32_t EV_RING = 0x0100;
inline constexpr std::uint32_t EV_RX80FULL = 0x0400;

// The order in which the handlers of one port event are called.
inline constexpr std::array<TEvent, 10> DispatchOrder = {
    evRxChar, evTxEmpty, evBreak, evRing, evCTS, evDSR, evRxFlag, evRLSD, evError, evRx80Full};

std::uint32_t eventFlag(TEvent event);
std::uint32_t eventFlags(TEvents events);

// The driver's line counters (TIOCGICOUNT): modem-line transitions, line
// errors and breaks, counted since the device was set up.
struct LineCounters {
    int cts = 0;
    int dsr = 0;
    int rng = 0;
    int dcd = 0;
    int frame = 0;
    int parity = 0;
    int overrun = 0;
    int brk = 0;
    int bufOverrun = 0;
};

// The modem lines of a TIOCMGET answer.
TModemSignals modemSignalsFromLines(int lines);

// The line errors that happened between two readings of the counters.
// Parity errors count only while the port checks parity.
TComErrors errorsBetween(const LineCounters& before, const LineCounters& after, bool parityCheck);

// The event flags for what changed between two readings: modem lines that
// moved, a break, a line error (framing, parity, hardware overrun).
std::uint32_t eventsBetween(const LineCounters& before, const LineCounters& after, bool parityCheck);

// The errors a port has seen and not yet handed out through LastErrors,
// kept against the last reading of the counters. Shared by the event
// thread, which looks after each read, and the port's owner.
class ComErrorState {
public:
    void reset(const LineCounters& baseline);
    void setParityCheck(bool check);
    // Takes a new reading; returns the event flags it gives.
    std::uint32_t update(const LineCounters& now);
    // Adds errors found elsewhere (an I/O error on reading, for one).
    void add(TComErrors errors);
    // Everything gathered since the last call; the state is cleared.
    TComErrors takeAll();

private:
    std::mutex m_mutex;
    LineCounters m_last;
    bool m_parityCheck = false;
    TComErrors m_pending;
};
