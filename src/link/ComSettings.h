#pragma once

#include "link/ComTypes.h"

class TComPort;

// The settings objects of a port. Each is either attached to the port that
// owns it, which then applies every changed value at once, or a free-standing
// copy (a copy constructed from another one is always free-standing) that
// only holds values, as the settings dialog uses for its working copy.
// Assignment is left out on purpose: Assign copies values without applying,
// the port's setters copy and apply.

// Read and write timeouts in milliseconds; -1 stands for "all ones", which
// for the read interval means "return at once with what has arrived".
class TComTimeouts {
public:
    TComTimeouts() = default;
    explicit TComTimeouts(TComPort* AComPort);
    TComTimeouts(const TComTimeouts& other);
    TComTimeouts& operator=(const TComTimeouts&) = delete;

    void Assign(const TComTimeouts& source);
    TComPort* ComPort() const { return FComPort; }

    int ReadInterval() const { return FReadInterval; }
    int ReadTotalMultiplier() const { return FReadTotalM; }
    int ReadTotalConstant() const { return FReadTotalC; }
    int WriteTotalMultiplier() const { return FWriteTotalM; }
    int WriteTotalConstant() const { return FWriteTotalC; }
    void SetReadInterval(int value);
    void SetReadTotalMultiplier(int value);
    void SetReadTotalConstant(int value);
    void SetWriteTotalMultiplier(int value);
    void SetWriteTotalConstant(int value);

private:
    void set(int& field, int value);

    TComPort* FComPort = nullptr;
    int FReadInterval = -1;
    int FReadTotalM = 0;
    int FReadTotalC = 0;
    int FWriteTotalM = 100;
    int FWriteTotalC = 1000;
};

class TComFlowControl {
public:
    TComFlowControl() = default;
    explicit TComFlowControl(TComPort* AComPort);
    TComFlowControl(const TComFlowControl& other);
    TComFlowControl& operator=(const TComFlowControl&) = delete;

    void Assign(const TComFlowControl& source);
    TComPort* ComPort() const { return FComPort; }

    bool OutCTSFlow() const { return FOutCTSFlow; }
    bool OutDSRFlow() const { return FOutDSRFlow; }
    TDTRFlowControl ControlDTR() const { return FControlDTR; }
    TRTSFlowControl ControlRTS() const { return FControlRTS; }
    bool XonXoffOut() const { return FXonXoffOut; }
    bool XonXoffIn() const { return FXonXoffIn; }
    bool DSRSensitivity() const { return FDSRSensitivity; }
    bool TxContinueOnXoff() const { return FTxContinueOnXoff; }
    unsigned char XonChar() const { return FXonChar; }
    unsigned char XoffChar() const { return FXoffChar; }
    void SetOutCTSFlow(bool value);
    void SetOutDSRFlow(bool value);
    void SetControlDTR(TDTRFlowControl value);
    void SetControlRTS(TRTSFlowControl value);
    void SetXonXoffOut(bool value);
    void SetXonXoffIn(bool value);
    void SetDSRSensitivity(bool value);
    void SetTxContinueOnXoff(bool value);
    void SetXonChar(unsigned char value);
    void SetXoffChar(unsigned char value);

private:
    template <typename T>
    void set(T& field, T value);

    TComPort* FComPort = nullptr;
    bool FOutCTSFlow = false;
    bool FOutDSRFlow = false;
    TDTRFlowControl FControlDTR = dtrDisable;
    TRTSFlowControl FControlRTS = rtsDisable;
    bool FXonXoffOut = false;
    bool FXonXoffIn = false;
    bool FDSRSensitivity = false;
    bool FTxContinueOnXoff = false;
    unsigned char FXonChar = 17;
    unsigned char FXoffChar = 19;
};

class TComParity {
public:
    TComParity() = default;
    explicit TComParity(TComPort* AComPort);
    TComParity(const TComParity& other);
    TComParity& operator=(const TComParity&) = delete;

    void Assign(const TComParity& source);
    TComPort* ComPort() const { return FComPort; }

    TParityBits Bits() const { return FBits; }
    bool Check() const { return FCheck; }
    bool Replace() const { return FReplace; }
    unsigned char ReplaceChar() const { return FReplaceChar; }
    void SetBits(TParityBits value);
    void SetCheck(bool value);
    void SetReplace(bool value);
    void SetReplaceChar(unsigned char value);

private:
    template <typename T>
    void set(T& field, T value);

    TComPort* FComPort = nullptr;
    TParityBits FBits = prNone;
    bool FCheck = false;
    bool FReplace = false;
    unsigned char FReplaceChar = 0;
};

// Queue sizes in bytes. InputSize is the size of the port's own receive
// queue; the kernel sizes its transmit buffer itself, so OutputSize is kept
// for the owner only.
class TComBuffer {
public:
    TComBuffer() = default;
    explicit TComBuffer(TComPort* AComPort);
    TComBuffer(const TComBuffer& other);
    TComBuffer& operator=(const TComBuffer&) = delete;

    void Assign(const TComBuffer& source);
    TComPort* ComPort() const { return FComPort; }

    unsigned InputSize() const { return FInputSize; }
    unsigned OutputSize() const { return FOutputSize; }
    void SetInputSize(unsigned value);
    void SetOutputSize(unsigned value);

private:
    void set(unsigned& field, unsigned value);

    TComPort* FComPort = nullptr;
    unsigned FInputSize = 1024;
    unsigned FOutputSize = 1024;
};
