#pragma once

#include "link/Async.h"
#include "link/ComSettings.h"
#include "link/ComTypes.h"
#include "link/LineWatch.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

#include <termios.h>

class TComThread;
class TComWindow;
class ComReceiveQueue;
class ComErrorState;

// The message the hidden object of smWindowSync receives once per event flag.
inline constexpr unsigned CM_COMEVENT = 1025;
struct TComMessage {
    unsigned Msg = 0;
    std::uint32_t WParam = 0; // the event flag
    std::intptr_t LParam = 0;
};

// One serial port, opened by number. While open, an event thread watches it
// and delivers its events to the handlers below, on this object's thread
// unless SyncMethod is smNone (handlers then run on the event thread, and
// whoever uses the port from there must keep the owner's thread off it
// meanwhile; the component adds no lock). Setters apply a change at once while
// open; while closed they only store, and Open applies everything. Open or
// closed, a setting no line can have is refused at once and not kept. Every
// failing operation raises EComPort with its code and the system's error number.
class TComPort : public QObject {
    Q_OBJECT

public:
    explicit TComPort(QObject* AOwner = nullptr);
    ~TComPort() override;

    // --- published properties
    TBaudRate BaudRate() const { return FBaudRate; }
    void SetBaudRate(TBaudRate value);
    TPortType Port() const { return FPort; }
    void SetPort(TPortType value);
    TComParity& Parity() { return FParity; }
    const TComParity& Parity() const { return FParity; }
    void SetParity(const TComParity& value);
    TStopBits StopBits() const { return FStopBits; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return FDataBits; }
    void SetDataBits(TDataBits value);
    bool BluetoothConnection() const { return FBluetooth; }
    void SetBluetoothConnection(bool value) { FBluetooth = value; }
    const QByteArray& PortName() const { return FPortname; }
    void SetPortName(const QByteArray& value) { FPortname = value; }
    bool DiscardNull() const { return FDiscardNull; }
    void SetDiscardNull(bool value);
    unsigned char EventChar() const { return FEventChar; }
    void SetEventChar(unsigned char value);
    // Read when the event thread starts: a change takes effect at the next Open.
    TEvents Events() const { return FEvents; }
    void SetEvents(TEvents value) { FEvents = value; }
    TComBuffer& Buffer() { return FBuffer; }
    const TComBuffer& Buffer() const { return FBuffer; }
    void SetBuffer(const TComBuffer& value);
    TComFlowControl& FlowControl() { return FFlowControl; }
    const TComFlowControl& FlowControl() const { return FFlowControl; }
    void SetFlowControl(const TComFlowControl& value);
    TComTimeouts& Timeouts() { return FTimeouts; }
    const TComTimeouts& Timeouts() const { return FTimeouts; }
    void SetTimeouts(const TComTimeouts& value);
    TSyncMethod SyncMethod() const { return FSyncMethod; }
    void SetSyncMethod(TSyncMethod value);

    const TRxCharEvent& OnRxChar() const { return FOnRxChar; }
    void SetOnRxChar(TRxCharEvent value) { FOnRxChar = std::move(value); }
    const TNotifyEvent& OnTxEmpty() const { return FOnTxEmpty; }
    void SetOnTxEmpty(TNotifyEvent value) { FOnTxEmpty = std::move(value); }
    const TNotifyEvent& OnBreak() const { return FOnBreak; }
    void SetOnBreak(TNotifyEvent value) { FOnBreak = std::move(value); }
    const TNotifyEvent& OnRing() const { return FOnRing; }
    void SetOnRing(TNotifyEvent value) { FOnRing = std::move(value); }
    const TSignalEvent& OnCTSChange() const { return FOnCTSChange; }
    void SetOnCTSChange(TSignalEvent value) { FOnCTSChange = std::move(value); }
    const TSignalEvent& OnDSRChange() const { return FOnDSRChange; }
    void SetOnDSRChange(TSignalEvent value) { FOnDSRChange = std::move(value); }
    const TSignalEvent& OnRLSDChange() const { return FOnRLSDChange; }
    void SetOnRLSDChange(TSignalEvent value) { FOnRLSDChange = std::move(value); }
    const TNotifyEvent& OnRxFlag() const { return FOnRxFlag; }
    void SetOnRxFlag(TNotifyEvent value) { FOnRxFlag = std::move(value); }
    const TErrorEvent& OnError() const { return FOnError; }
    void SetOnError(TErrorEvent value) { FOnError = std::move(value); }
    const TNotifyEvent& OnOpen() const { return FOnOpen; }
    void SetOnOpen(TNotifyEvent value) { FOnOpen = std::move(value); }
    const TNotifyEvent& OnClose() const { return FOnClose; }
    void SetOnClose(TNotifyEvent value) { FOnClose = std::move(value); }
    const TNotifyEvent& OnRx80Full() const { return FOnRx80Full; }
    void SetOnRx80Full(TNotifyEvent value) { FOnRx80Full = std::move(value); }

    // --- public
    bool Connected() const { return FConnected; }
    void SetConnected(bool value);
    int Handle() const { return FHandle; }

    // The device file the port opens (see ComDeviceTable); empty for a
    // Port outside COM1-COM50, which then fails to open with code 1.
    QByteArray ComString() const;

    void Open();
    void Close();
    // While closed, ApplyDCB and ApplyBuffer only check the settings: what
    // Linux refuses on every line (code 7) or an empty queue (code 9).
    void ApplyDCB();
    void ApplyTimeouts();
    void ApplyBuffer();

    // Shows the settings dialog for this port, which applies what the user
    // confirms. The dialog installs itself here; without it nothing happens.
    using SetupDialog = std::function<void(TComPort& port)>;
    static void SetSetupDialog(SetupDialog dialog);
    void ShowSetupDialog();

    // --- queries and line control; on a closed port they fail with their code
    int InputCount();
    int OutputCount();
    TComStateFlags StateFlags();
    TComErrors LastErrors();
    TModemSignals ModemSignals();
    void SetBreak(bool OnOff);
    void SetDTR(bool OnOff);
    void SetRTS(bool OnOff);
    void SetXonXoff(bool OnOff);
    void ClearBuffer(bool Input, bool Output);
    void TransmitChar(char Ch);

    // --- transfers
    void InitAsync(PAsync& AsyncPtr);
    void DoneAsync(PAsync& AsyncPtr);
    int WriteAsync(const char* Buffer, int Count, PAsync AsyncPtr);
    int WriteStrAsync(const QByteArray& Str, PAsync AsyncPtr);
    int ReadAsync(char* Buffer, int Count, PAsync AsyncPtr);
    // Str is sized to Count, at most 255, and must stay untouched until the
    // read has completed.
    int ReadStrAsync(QByteArray& Str, int Count, PAsync AsyncPtr);
    int WaitForAsync(PAsync AsyncPtr);
    bool IsAsyncCompleted(PAsync AsyncPtr);
    int Write(const char* Buffer, int Count);
    int WriteStr(const QByteArray& Str);
    int Read(char* Buffer, int Count);
    // At most 255 characters a call, whatever Count asks; Str holds those read.
    int ReadStr(QByteArray& Str, int Count);
    void AbortAllAsync();

    // The owner's wait for a Bluetooth link's carrier detect; every Open
    // gives the link its full time again.
    ComCarrierWait& CarrierWait() { return m_carrierWait; }

    // The event thread while open, for diagnostics; none when closed or
    // when Events is empty.
    TComThread* EventThread() const { return FEventThread.get(); }

protected:
    virtual void CreateHandle();
    virtual void DestroyHandle();
    virtual void SetupComPort();

    // Called for the flags of a port event, in dispatch order; each does
    // nothing when its handler is not set.
    virtual void DoOnRxChar();
    virtual void DoOnTxEmpty();
    virtual void DoOnBreak();
    virtual void DoOnRingChange();
    virtual void DoOnCTSChange();
    virtual void DoOnDSRChange();
    virtual void DoOnRxFlag();
    virtual void DoOnRLSDChange();
    virtual void DoOnError();
    virtual void DoOnRx80Full();
    // The hidden object's message procedure under smWindowSync.
    virtual void WindowMethod(TComMessage& Message);

private:
    friend class TComThread;

    // The settings the port last took: the line's while open; while closed,
    // those that passed the checks Linux makes of any line. A change that is
    // refused, whichever way it came in (a setter, or a settings object
    // changed in place), is not kept: the port goes back to these, so that
    // it runs, and opens again, as it did.
    struct TakenSettings {
        TBaudRate baudRate = br9600;
        TDataBits dataBits = dbEight;
        TStopBits stopBits = sbOneStopBit;
        bool discardNull = false;
        unsigned char eventChar = 0;
        TComParity parity;
        TComFlowControl flowControl;
        TComBuffer buffer;
    };
    TakenSettings m_taken;

    void DispatchFlag(std::uint32_t flag);
    int transferCode(const TAsync& async) const;
    void progress(TAsync& async);
    void endTransfer(TAsync& async);
    void setLine();
    void applyLine(const termios& wanted, int rate);

    std::unique_ptr<TComThread> FEventThread;
    bool FThreadCreated = false;
    int FHandle = -1;
    QPointer<TComWindow> FWindow;
    bool FConnected = false;
    TBaudRate FBaudRate = br9600;
    TPortType FPort = COM1;
    TStopBits FStopBits = sbOneStopBit;
    TDataBits FDataBits = dbEight;
    bool FBluetooth = false;
    QByteArray FPortname;
    bool FDiscardNull = false;
    unsigned char FEventChar = 0;
    TEvents FEvents = AllEvents;
    TComBuffer FBuffer;
    TComParity FParity;
    TComTimeouts FTimeouts;
    TComFlowControl FFlowControl;
    TSyncMethod FSyncMethod = smThreadSync;
    TRxCharEvent FOnRxChar;
    TNotifyEvent FOnTxEmpty;
    TNotifyEvent FOnBreak;
    TNotifyEvent FOnRing;
    TSignalEvent FOnCTSChange;
    TSignalEvent FOnDSRChange;
    TSignalEvent FOnRLSDChange;
    TNotifyEvent FOnRxFlag;
    TErrorEvent FOnError;
    TNotifyEvent FOnOpen;
    TNotifyEvent FOnClose;
    TNotifyEvent FOnRx80Full;

    // Shared with the event thread, which may outlive a Close made from
    // inside one of its own handlers.
    std::shared_ptr<ComReceiveQueue> m_queue;
    std::shared_ptr<ComErrorState> m_errors;
    std::shared_ptr<ComAsyncList> m_asyncs;
    termios m_original {}; // the device's settings before Open
    ComActiveTimeouts m_activeTimeouts;
    ComCarrierWait m_carrierWait;
    bool m_closing = false;
};
