#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>

class QObject;

// The enumerations of the serial port component. Their ordinals are the
// indexes of the settings file's port and rate tables and of the settings
// dialog's lists, so they pass between them as plain integers.

enum TPortType : int {
    COM1, COM2, COM3, COM4, COM5, COM6, COM7, COM8, COM9, COM10,
    COM11, COM12, COM13, COM14, COM15, COM16, COM17, COM18, COM19, COM20,
    COM21, COM22, COM23, COM24, COM25, COM26, COM27, COM28, COM29, COM30,
    COM31, COM32, COM33, COM34, COM35, COM36, COM37, COM38, COM39, COM40,
    COM41, COM42, COM43, COM44, COM45, COM46, COM47, COM48, COM49, COM50
};
inline constexpr int PortTypeCount = 50;

enum TBaudRate : int {
    br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200
};
inline constexpr int BaudRateCount = 13;

enum TStopBits : int { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : int { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : int { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : int { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : int { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

enum TEvent : int {
    evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
enum TModemSignal : int { msCTS, msDSR, msRing, msRLSD };
enum TComError : int {
    ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull
};
// The hold and status flags of a port: output held for a modem line or an
// XOFF, XOFF sent, end-of-file seen, a priority character waiting.
enum TComStateFlag : int {
    fsCTSHold, fsDSRHold, fsRLSDHold, fsXOffHold, fsXOffNow, fsEOF, fsTxim
};
enum TSyncMethod : int { smThreadSync, smWindowSync, smNone };
enum TOperationKind : int { okWrite, okRead };

// A set of one of the enumerations above, one bit per ordinal.
template <typename E>
class ComSet {
public:
    constexpr ComSet() = default;
    constexpr ComSet(std::initializer_list<E> items)
    {
        for (E item : items)
            m_bits |= bit(item);
    }

    static constexpr ComSet fromBits(std::uint32_t bits)
    {
        ComSet set;
        set.m_bits = bits;
        return set;
    }
    constexpr std::uint32_t bits() const { return m_bits; }

    constexpr bool contains(E item) const { return (m_bits & bit(item)) != 0; }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr ComSet& insert(E item)
    {
        m_bits |= bit(item);
        return *this;
    }
    constexpr ComSet& remove(E item)
    {
        m_bits &= ~bit(item);
        return *this;
    }

    friend constexpr bool operator==(ComSet a, ComSet b) { return a.m_bits == b.m_bits; }
    friend constexpr ComSet operator|(ComSet a, ComSet b) { return fromBits(a.m_bits | b.m_bits); }
    friend constexpr ComSet operator&(ComSet a, ComSet b) { return fromBits(a.m_bits & b.m_bits); }

private:
    static constexpr std::uint32_t bit(E item) { return 1u << static_cast<unsigned>(item); }

    std::uint32_t m_bits = 0;
};

using TEvents = ComSet<TEvent>;
using TModemSignals = ComSet<TModemSignal>;
using TComErrors = ComSet<TComError>;
using TComStateFlags = ComSet<TComStateFlag>;

inline constexpr TEvents AllEvents = {evRxChar, evTxEmpty, evRxFlag, evRing, evBreak,
                                      evCTS,    evDSR,     evError,  evRLSD, evRx80Full};

// Handlers: a method bound to an object; Sender is the port.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TRxCharEvent = std::function<void(QObject* Sender, int Count)>;
using TErrorEvent = std::function<void(QObject* Sender, TComErrors Errors)>;
using TSignalEvent = std::function<void(QObject* Sender, bool OnOff)>;
