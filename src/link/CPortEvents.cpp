// The port operations called for the flags of a port event. Each asks the
// device for what its handler is given (the waiting count, a modem line,
// the errors) only when the handler is set.

#include "link/CPort.h"

#include "link/LineEvents.h"

void TComPort::DispatchFlag(std::uint32_t flag)
{
    switch (flag) {
    case EV_RXCHAR: DoOnRxChar(); break;
    case EV_TXEMPTY: DoOnTxEmpty(); break;
    case EV_BREAK: DoOnBreak(); break;
    case EV_RING: DoOnRingChange(); break;
    case EV_CTS: DoOnCTSChange(); break;
    case EV_DSR: DoOnDSRChange(); break;
    case EV_RXFLAG: DoOnRxFlag(); break;
    case EV_RLSD: DoOnRLSDChange(); break;
    case EV_ERR: DoOnError(); break;
    case EV_RX80FULL: DoOnRx80Full(); break;
    default: break;
    }
}

void TComPort::DoOnRxChar()
{
    if (FOnRxChar)
        FOnRxChar(this, InputCount());
}

void TComPort::DoOnTxEmpty()
{
    if (FOnTxEmpty)
        FOnTxEmpty(this);
}

void TComPort::DoOnBreak()
{
    if (FOnBreak)
        FOnBreak(this);
}

void TComPort::DoOnRingChange()
{
    if (FOnRing)
        FOnRing(this);
}

void TComPort::DoOnCTSChange()
{
    if (FOnCTSChange)
        FOnCTSChange(this, ModemSignals().contains(msCTS));
}

void TComPort::DoOnDSRChange()
{
    if (FOnDSRChange)
        FOnDSRChange(this, ModemSignals().contains(msDSR));
}

void TComPort::DoOnRxFlag()
{
    if (FOnRxFlag)
        FOnRxFlag(this);
}

void TComPort::DoOnRLSDChange()
{
    if (FOnRLSDChange)
        FOnRLSDChange(this, ModemSignals().contains(msRLSD));
}

void TComPort::DoOnError()
{
    if (FOnError)
        FOnError(this, LastErrors());
}

void TComPort::DoOnRx80Full()
{
    if (FOnRx80Full)
        FOnRx80Full(this);
}

void TComPort::WindowMethod(TComMessage& Message)
{
    // Any other message is the hidden object's default business: nothing.
    if (Message.Msg == CM_COMEVENT)
        DispatchFlag(Message.WParam);
}
