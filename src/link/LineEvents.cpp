#include "link/LineEvents.h"

#include <sys/ioctl.h>

std::uint32_t eventFlag(TEvent event)
{
    switch (event) {
    case evRxChar: return EV_RXCHAR;
    case evTxEmpty: return EV_TXEMPTY;
    case evRxFlag: return EV_RXFLAG;
    case evRing: return EV_RING;
    case evBreak: return EV_BREAK;
    case evCTS: return EV_CTS;
    case evDSR: return EV_DSR;
    case evError: return EV_ERR;
    case evRLSD: return EV_RLSD;
    case evRx80Full: return EV_RX80FULL;
    }
    return 0;
}

std::uint32_t eventFlags(TEvents events)
{
    std::uint32_t flags = 0;
    for (TEvent event : DispatchOrder)
        if (events.contains(event))
            flags |= eventFlag(event);
    return flags;
}

TModemSignals modemSignalsFromLines(int lines)
{
    TModemSignals present;
    if (lines & TIOCM_CTS)
        present.insert(msCTS);
    if (lines & TIOCM_DSR)
        present.insert(msDSR);
    if (lines & TIOCM_RNG)
        present.insert(msRing);
    if (lines & TIOCM_CAR)
        present.insert(msRLSD);
    return present;
}

TComErrors errorsBetween(const LineCounters& before, const LineCounters& after, bool parityCheck)
{
    TComErrors errors;
    if (after.frame != before.frame)
        errors.insert(ceFrame);
    if (parityCheck && after.parity != before.parity)
        errors.insert(ceRxParity);
    if (after.overrun != before.overrun)
        errors.insert(ceOverrun);
    if (after.brk != before.brk)
        errors.insert(ceBreak);
    if (after.bufOverrun != before.bufOverrun)
        errors.insert(ceRxOver);
    return errors;
}

std::uint32_t eventsBetween(const LineCounters& before, const LineCounters& after, bool parityCheck)
{
    std::uint32_t flags = 0;
    if (after.cts != before.cts)
        flags |= EV_CTS;
    if (after.dsr != before.dsr)
        flags |= EV_DSR;
    if (after.dcd != before.dcd)
        flags |= EV_RLSD;
    if (after.rng != before.rng)
        flags |= EV_RING;
    if (after.brk != before.brk)
        flags |= EV_BREAK;
    const TComErrors errors = errorsBetween(before, after, parityCheck);
    if (errors.contains(ceFrame) || errors.contains(ceRxParity) || errors.contains(ceOverrun))
        flags |= EV_ERR;
    return flags;
}

void ComErrorState::reset(const LineCounters& baseline)
{
    std::lock_guard lock(m_mutex);
    m_last = baseline;
    m_pending = {};
}

void ComErrorState::setParityCheck(bool check)
{
    std::lock_guard lock(m_mutex);
    m_parityCheck = check;
}

std::uint32_t ComErrorState::update(const LineCounters& now)
{
    std::lock_guard lock(m_mutex);
    const std::uint32_t flags = eventsBetween(m_last, now, m_parityCheck);
    m_pending = m_pending | errorsBetween(m_last, now, m_parityCheck);
    m_last = now;
    return flags;
}

void ComErrorState::add(TComErrors errors)
{
    std::lock_guard lock(m_mutex);
    m_pending = m_pending | errors;
}

TComErrors ComErrorState::takeAll()
{
    std::lock_guard lock(m_mutex);
    const TComErrors errors = m_pending;
    m_pending = {};
    return errors;
}
