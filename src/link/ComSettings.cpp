#include "link/ComSettings.h"

#include "link/CPort.h"

// --- TComTimeouts

TComTimeouts::TComTimeouts(TComPort* AComPort)
    : FComPort(AComPort)
{
}

TComTimeouts::TComTimeouts(const TComTimeouts& other)
{
    Assign(other);
}

void TComTimeouts::Assign(const TComTimeouts& source)
{
    FReadInterval = source.FReadInterval;
    FReadTotalM = source.FReadTotalM;
    FReadTotalC = source.FReadTotalC;
    FWriteTotalM = source.FWriteTotalM;
    FWriteTotalC = source.FWriteTotalC;
}

void TComTimeouts::set(int& field, int value)
{
    if (field == value)
        return;
    field = value;
    if (FComPort)
        FComPort->ApplyTimeouts();
}

void TComTimeouts::SetReadInterval(int value) { set(FReadInterval, value); }
void TComTimeouts::SetReadTotalMultiplier(int value) { set(FReadTotalM, value); }
void TComTimeouts::SetReadTotalConstant(int value) { set(FReadTotalC, value); }
void TComTimeouts::SetWriteTotalMultiplier(int value) { set(FWriteTotalM, value); }
void TComTimeouts::SetWriteTotalConstant(int value) { set(FWriteTotalC, value); }

// --- TComFlowControl

TComFlowControl::TComFlowControl(TComPort* AComPort)
    : FComPort(AComPort)
{
}

TComFlowControl::TComFlowControl(const TComFlowControl& other)
{
    Assign(other);
}

void TComFlowControl::Assign(const TComFlowControl& source)
{
    FOutCTSFlow = source.FOutCTSFlow;
    FOutDSRFlow = source.FOutDSRFlow;
    FControlDTR = source.FControlDTR;
    FControlRTS = source.FControlRTS;
    FXonXoffOut = source.FXonXoffOut;
    FXonXoffIn = source.FXonXoffIn;
    FDSRSensitivity = source.FDSRSensitivity;
    FTxContinueOnXoff = source.FTxContinueOnXoff;
    FXonChar = source.FXonChar;
    FXoffChar = source.FXoffChar;
}

template <typename T>
void TComFlowControl::set(T& field, T value)
{
    if (field == value)
        return;
    field = value;
    if (FComPort)
        FComPort->ApplyDCB();
}

void TComFlowControl::SetOutCTSFlow(bool value) { set(FOutCTSFlow, value); }
void TComFlowControl::SetOutDSRFlow(bool value) { set(FOutDSRFlow, value); }
void TComFlowControl::SetControlDTR(TDTRFlowControl value) { set(FControlDTR, value); }
void TComFlowControl::SetControlRTS(TRTSFlowControl value) { set(FControlRTS, value); }
void TComFlowControl::SetXonXoffOut(bool value) { set(FXonXoffOut, value); }
void TComFlowControl::SetXonXoffIn(bool value) { set(FXonXoffIn, value); }
void TComFlowControl::SetDSRSensitivity(bool value) { set(FDSRSensitivity, value); }
void TComFlowControl::SetTxContinueOnXoff(bool value) { set(FTxContinueOnXoff, value); }
void TComFlowControl::SetXonChar(unsigned char value) { set(FXonChar, value); }
void TComFlowControl::SetXoffChar(unsigned char value) { set(FXoffChar, value); }

// --- TComParity

TComParity::TComParity(TComPort* AComPort)
    : FComPort(AComPort)
{
}

TComParity::TComParity(const TComParity& other)
{
    Assign(other);
}

void TComParity::Assign(const TComParity& source)
{
    FBits = source.FBits;
    FCheck = source.FCheck;
    FReplace = source.FReplace;
    FReplaceChar = source.FReplaceChar;
}

template <typename T>
void TComParity::set(T& field, T value)
{
    if (field == value)
        return;
    field = value;
    if (FComPort)
        FComPort->ApplyDCB();
}

void TComParity::SetBits(TParityBits value) { set(FBits, value); }
void TComParity::SetCheck(bool value) { set(FCheck, value); }
void TComParity::SetReplace(bool value) { set(FReplace, value); }
void TComParity::SetReplaceChar(unsigned char value) { set(FReplaceChar, value); }

// --- TComBuffer

TComBuffer::TComBuffer(TComPort* AComPort)
    : FComPort(AComPort)
{
}

TComBuffer::TComBuffer(const TComBuffer& other)
{
    Assign(other);
}

void TComBuffer::Assign(const TComBuffer& source)
{
    FInputSize = source.FInputSize;
    FOutputSize = source.FOutputSize;
}

void TComBuffer::set(unsigned& field, unsigned value)
{
    if (field == value)
        return;
    field = value;
    if (FComPort)
        FComPort->ApplyBuffer();
}

void TComBuffer::SetInputSize(unsigned value) { set(FInputSize, value); }
void TComBuffer::SetOutputSize(unsigned value) { set(FOutputSize, value); }
