#include "link/CPort.h"

#include "link/ComDevices.h"
#include "link/ComError.h"
#include "link/ComThread.h"
#include "link/ComWindow.h"
#include "link/CustomRate.h"
#include "link/LineDevice.h"
#include "link/LineSettings.h"
#include "link/ReceiveQueue.h"
#include "link/SyncCall.h"
#include "store/ErrorReport.h"

#include <QThread>

#include <sys/ioctl.h>

#include <cerrno>
#include <new>

namespace {

TComPort::SetupDialog& setupDialog()
{
    static TComPort::SetupDialog dialog;
    return dialog;
}

std::uint32_t asTimeout(int value)
{
    // -1 stands for all ones, as every other negative value does.
    return static_cast<std::uint32_t>(value);
}

} // namespace

TComPort::TComPort(QObject* AOwner)
    : QObject(AOwner)
    , FBuffer(this)
    , FParity(this)
    , FTimeouts(this)
    , FFlowControl(this)
    , m_queue(std::make_shared<ComReceiveQueue>(FBuffer.InputSize()))
    , m_errors(std::make_shared<ComErrorState>())
    , m_asyncs(std::make_shared<ComAsyncList>())
{
}

TComPort::~TComPort()
{
    // An OnClose handler that throws has no caller to go back to here.
    try {
        Close();
    } catch (const Exception& e) {
        reportError(e.message());
    } catch (const std::exception& e) {
        reportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reportError(QStringLiteral("Closing the serial port failed"));
    }
}

// --- properties

void TComPort::SetBaudRate(TBaudRate value)
{
    if (value == FBaudRate)
        return;
    FBaudRate = value;
    ApplyDCB(); // a refused value is put back there
}

void TComPort::SetPort(TPortType value)
{
    if (value == FPort)
        return;
    FPort = value;
    if (FConnected) {
        Close();
        Open();
    }
}

void TComPort::SetParity(const TComParity& value)
{
    FParity.Assign(value);
    ApplyDCB(); // a refused value is put back there
}

void TComPort::SetStopBits(TStopBits value)
{
    if (value == FStopBits)
        return;
    FStopBits = value;
    ApplyDCB(); // a refused value is put back there
}

void TComPort::SetDataBits(TDataBits value)
{
    if (value == FDataBits)
        return;
    FDataBits = value;
    ApplyDCB(); // a refused value is put back there
}

void TComPort::SetDiscardNull(bool value)
{
    if (value == FDiscardNull)
        return;
    FDiscardNull = value;
    ApplyDCB(); // a refused value is put back there
}

void TComPort::SetEventChar(unsigned char value)
{
    if (value == FEventChar)
        return;
    FEventChar = value;
    ApplyDCB(); // a refused value is put back there
}

void TComPort::SetBuffer(const TComBuffer& value)
{
    FBuffer.Assign(value);
    ApplyBuffer(); // a refused value is put back there
}

void TComPort::SetFlowControl(const TComFlowControl& value)
{
    FFlowControl.Assign(value);
    ApplyDCB(); // a refused value is put back there
}

void TComPort::SetTimeouts(const TComTimeouts& value)
{
    FTimeouts.Assign(value);
    ApplyTimeouts();
}

void TComPort::SetSyncMethod(TSyncMethod value)
{
    if (value == FSyncMethod)
        return;
    if (FConnected)
        throw EComPort::CreateNoWinCode(ecSyncMethod);
    FSyncMethod = value;
}

void TComPort::SetConnected(bool value)
{
    if (value)
        Open();
    else
        Close();
}

QByteArray TComPort::ComString() const
{
    return ComDeviceTable::path(FPort);
}

// --- lifecycle

void TComPort::Open()
{
    if (FConnected)
        return;
    try {
        CreateHandle();
        FConnected = true;
        SetupComPort();
    } catch (...) {
        DestroyHandle();
        FConnected = false;
        throw;
    }
    if (!FEvents.isEmpty()) {
        try {
            if (FSyncMethod == smWindowSync)
                FWindow = new TComWindow();
            FEventThread = std::make_unique<TComThread>(this);
            FThreadCreated = true;
            FEventThread->start();
        } catch (...) {
            delete FWindow.data();
            DestroyHandle();
            FConnected = false;
            throw;
        }
    }
    m_carrierWait.restart();
    if (FOnOpen)
        FOnOpen(this);
}

void TComPort::Close()
{
    // A handler run while Close waits for the thread may call Close again;
    // the outer call finishes the job.
    if (!FConnected || m_closing)
        return;
    m_closing = true;
    try {
        AbortAllAsync();
    } catch (const EComPort&) {
    }
    if (FThreadCreated) {
        std::unique_ptr<TComThread> thread = std::move(FEventThread);
        FThreadCreated = false;
        const std::shared_ptr<ComSyncCall> sync = thread->syncCall();
        thread->Stop();
        if (QThread::currentThread() == thread.get()) {
            // Close from a handler under smNone, on the event thread itself:
            // it cannot wait for itself, so it lets go and the thread ends
            // when the handler returns, touching the port no more.
            thread->Detach();
            TComThread* running = thread.release();
            connect(running, &QThread::finished, running, &QObject::deleteLater);
        } else {
            sync->runUntilFinished();
            thread->wait();
            thread.reset();
        }
        sync->cancel();
        if (FWindow && FWindow->delivering())
            FWindow->deleteLater();
        else
            delete FWindow.data();
        FWindow = nullptr;
    }
    DestroyHandle();
    FConnected = false;
    m_closing = false;
    if (FOnClose)
        FOnClose(this);
}

void TComPort::CreateHandle()
{
    int fd = -1;
    termios original {};
    if (const int error = openLine(ComString(), fd, original))
        throw EComPort(ecOpenFailed, error, ComString());
    FHandle = fd;
    m_original = original;
    m_queue->clear();
    LineCounters baseline;
    readCounters(fd, baseline);
    m_errors->reset(baseline);
}

void TComPort::DestroyHandle()
{
    if (FHandle >= 0)
        closeLine(FHandle, m_original);
    FHandle = -1;
    m_queue->clear();
}

void TComPort::SetupComPort()
{
    ApplyDCB();
    ApplyTimeouts();
    ApplyBuffer();
}

// --- applying settings

void TComPort::ApplyDCB()
{
    try {
        setLine();
    } catch (const EComPort&) {
        FBaudRate = m_taken.baudRate;
        FDataBits = m_taken.dataBits;
        FStopBits = m_taken.stopBits;
        FDiscardNull = m_taken.discardNull;
        FEventChar = m_taken.eventChar;
        FParity.Assign(m_taken.parity);
        FFlowControl.Assign(m_taken.flowControl);
        // The line too, so that a refused change does not leave it half applied.
        if (FConnected) {
            try {
                setLine();
            } catch (const EComPort&) {
            }
        }
        throw;
    }
    m_taken.baudRate = FBaudRate;
    m_taken.dataBits = FDataBits;
    m_taken.stopBits = FStopBits;
    m_taken.discardNull = FDiscardNull;
    m_taken.eventChar = FEventChar;
    m_taken.parity.Assign(FParity);
    m_taken.flowControl.Assign(FFlowControl);
}

void TComPort::setLine()
{
    LineSettings s;
    s.rate = baudRateValue(FBaudRate);
    s.dataBits = FDataBits;
    s.stopBits = FStopBits;
    s.parity = FParity.Bits();
    s.parityCheck = FParity.Check();
    s.parityReplace = FParity.Replace();
    s.replaceChar = FParity.ReplaceChar();
    s.outCTSFlow = FFlowControl.OutCTSFlow();
    s.outDSRFlow = FFlowControl.OutDSRFlow();
    s.controlDTR = FFlowControl.ControlDTR();
    s.controlRTS = FFlowControl.ControlRTS();
    s.xonXoffOut = FFlowControl.XonXoffOut();
    s.xonXoffIn = FFlowControl.XonXoffIn();
    s.dsrSensitivity = FFlowControl.DSRSensitivity();
    s.xonChar = FFlowControl.XonChar();
    s.xoffChar = FFlowControl.XoffChar();

    // Checked while closed as well: a setting no line can have would
    // otherwise wait for the next Open and make it fail, every time.
    termios wanted = FConnected ? m_original : termios {};
    if (const int error = buildLineTermios(wanted, s))
        throw EComPort(ecSetState, error);
    if (!FConnected)
        return;
    applyLine(wanted, s.rate);

    // DTR and RTS follow the settings; RTS is the kernel's under a handshake.
    const auto setModemLine = [this](int line, bool on) {
        const int error = setModemLines(FHandle, line, on);
        // A line the device does not have is as good as lowered.
        if (error && !(noModemLines(error) && !on))
            throw EComPort(ecSetState, error);
    };
    setModemLine(TIOCM_DTR, s.controlDTR == dtrEnable);
    if (s.controlRTS != rtsHandshake)
        setModemLine(TIOCM_RTS, s.controlRTS == rtsEnable);

    m_queue->setDiscardNull(FDiscardNull);
    m_queue->setEventChar(FEventChar);
    m_errors->setParityCheck(s.parityCheck);
}

void TComPort::applyLine(const termios& wanted, int rate)
{
    if (::tcsetattr(FHandle, TCSANOW, &wanted) < 0)
        throw EComPort(ecSetState, errno);
    termios probe = wanted;
    if (!setStandardSpeed(probe, rate))
        if (const int error = setCustomRate(FHandle, rate))
            throw EComPort(ecSetState, error);
    termios actual {};
    if (::tcgetattr(FHandle, &actual) < 0)
        throw EComPort(ecSetState, errno);
    if (!lineFlagsKept(wanted, actual))
        throw EComPort(ecSetState, EINVAL);
    int actualRate = 0;
    if (const int error = readLineRate(FHandle, actualRate))
        throw EComPort(ecSetState, error);
    if (!lineRateKept(rate, actualRate))
        throw EComPort(ecSetState, EINVAL);
}

void TComPort::ApplyTimeouts()
{
    if (!FConnected)
        return;
    // The transfers are the component's own, so the timeouts are kept
    // here; the values in force are those applied last.
    m_activeTimeouts.readInterval = asTimeout(FTimeouts.ReadInterval());
    m_activeTimeouts.readTotalMultiplier = asTimeout(FTimeouts.ReadTotalMultiplier());
    m_activeTimeouts.readTotalConstant = asTimeout(FTimeouts.ReadTotalConstant());
    m_activeTimeouts.writeTotalMultiplier = asTimeout(FTimeouts.WriteTotalMultiplier());
    m_activeTimeouts.writeTotalConstant = asTimeout(FTimeouts.WriteTotalConstant());
}

void TComPort::ApplyBuffer()
{
    try {
        // A queue that holds nothing could never report a received byte;
        // refused while closed as well, or every Open would fail on it.
        if (FBuffer.InputSize() == 0)
            throw EComPort(ecSetupQueues, EINVAL);
        if (FConnected) {
            try {
                m_queue->setCapacity(static_cast<qsizetype>(FBuffer.InputSize()));
            } catch (const std::bad_alloc&) {
                throw EComPort(ecSetupQueues, ENOMEM);
            } catch (const std::length_error&) {
                throw EComPort(ecSetupQueues, ENOMEM);
            }
        }
    } catch (const EComPort&) {
        FBuffer.Assign(m_taken.buffer);
        throw;
    }
    m_taken.buffer.Assign(FBuffer);
}

// --- the settings dialog

void TComPort::SetSetupDialog(SetupDialog dialog)
{
    setupDialog() = std::move(dialog);
}

void TComPort::ShowSetupDialog()
{
    if (const SetupDialog& dialog = setupDialog())
        dialog(*this);
}
