// Opening, configuring and querying a port over pseudo-terminals.

#include "support/Eventually.h"
#include "support/PtyLine.h"

#include <QTest>

#include "link/CPort.h"
#include "link/ComError.h"
#include "link/CustomRate.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <termios.h>

namespace {

// The code and system number of the EComPort that fn raises; code 0 when none.
std::pair<int, int> comFailure(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const EComPort& e) {
        return {e.Code(), e.WinCode()};
    }
    return {0, 0};
}

// The settings of an open port, read through its own descriptor.
termios settingsOf(const TComPort& port)
{
    termios t {};
    EXPECT_EQ(::tcgetattr(port.Handle(), &t), 0);
    return t;
}

// The settings of a device nobody holds.
termios deviceSettings(const PtyLine& line)
{
    termios t {};
    const int fd = ::open(line.slavePath().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    return t;
}

} // namespace

TEST(ComPort, InitialValues)
{
    TComPort port;
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.Port(), COM1);
    EXPECT_EQ(port.DataBits(), dbEight);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(port.Events(), AllEvents);
    EXPECT_EQ(port.SyncMethod(), smThreadSync);
    EXPECT_EQ(port.Buffer().InputSize(), 1024u);
    EXPECT_EQ(port.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(port.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(port.FlowControl().XoffChar(), 19);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
    EXPECT_EQ(port.ComString(), "/dev/ttyS0");
    // A copy of an attached settings object is free-standing.
    const TComFlowControl copy(port.FlowControl());
    EXPECT_EQ(copy.ComPort(), nullptr);
    EXPECT_EQ(port.FlowControl().ComPort(), &port);
}

TEST(ComPort, OpensAndAppliesTheLineSettings)
{
    PtyLine line(COM11);
    ASSERT_TRUE(line.valid());
    TComPort port;
    port.SetPort(COM11);
    port.SetBaudRate(br57600);
    port.SetStopBits(sbTwoStopBits);
    int opened = 0;
    port.SetOnOpen([&](QObject* sender) {
        EXPECT_EQ(sender, &port);
        ++opened;
    });
    port.Open();
    EXPECT_TRUE(port.Connected());
    EXPECT_GE(port.Handle(), 0);
    EXPECT_EQ(opened, 1);

    termios t = settingsOf(port);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO));

    // While open every setter applies at once, 14400 through the custom rate.
    port.SetBaudRate(br14400);
    port.SetStopBits(sbOneStopBit);
    t = settingsOf(port);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    int rate = 0;
    ASSERT_EQ(readLineRate(port.Handle(), rate), 0);
    EXPECT_EQ(rate, 14400);

    // Opening again changes nothing.
    port.Open();
    EXPECT_EQ(opened, 1);

    port.Close();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
    // The device's own settings are back.
    EXPECT_TRUE(deviceSettings(line).c_lflag & ICANON);
}

TEST(ComPort, SettingsChangedWhileClosedWaitForOpen)
{
    PtyLine line(COM11);
    TComPort port;
    port.SetPort(COM11);
    port.SetBaudRate(br1200);
    const termios before = deviceSettings(line);
    EXPECT_NE(cfgetospeed(&before), static_cast<speed_t>(B1200));
    port.Open();
    const termios t = settingsOf(port);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B1200));
}

TEST(ComPort, RefusesWhatTheLineCannotGive)
{
    PtyLine line(COM11);
    TComPort port;
    port.SetPort(COM11);
    port.Open();
    // A pseudo-terminal keeps eight bits without parity whatever it is told;
    // the port reads the settings back and says so instead of pretending.
    port.SetBaudRate(br4800);
    EXPECT_EQ(comFailure([&] { port.SetDataBits(dbSeven); }), std::make_pair(7, EINVAL));
    // The refused change is not left half applied.
    termios t = settingsOf(port);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B4800));
    port.SetDataBits(dbEight);

    EXPECT_EQ(comFailure([&] { port.FlowControl().SetControlRTS(rtsToggle); }), std::make_pair(7, EINVAL));
    EXPECT_EQ(comFailure([&] { port.FlowControl().SetControlDTR(dtrHandshake); }), std::make_pair(7, EINVAL));
    TComFlowControl none;
    port.SetFlowControl(none);
    EXPECT_TRUE(port.Connected());
}

TEST(ComPort, FailedOpensLeaveItClosed)
{
    PtyLine line(COM11);
    TComPort first;
    first.SetPort(COM11);
    first.Open();

    // The same device twice: the lock refuses the second (root passes TIOCEXCL).
    TComPort second;
    second.SetPort(COM11);
    EXPECT_EQ(comFailure([&] { second.Open(); }).first, 1);
    EXPECT_FALSE(second.Connected());
    EXPECT_EQ(second.Handle(), -1);

    ComDeviceTable::map(COM13, "/nonexistent/ttyUSB2");
    TComPort missing;
    missing.SetPort(COM13);
    try {
        missing.Open();
        FAIL() << "opened a missing device";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_EQ(e.WinCode(), ENOENT);
        EXPECT_EQ(e.message(), QStringLiteral("Unable to open com port (win error code: 2)"));
    }
    EXPECT_FALSE(missing.Connected());
    EXPECT_EQ(missing.Handle(), -1);
    ComDeviceTable::map(COM13, {});

    TComPort outside;
    outside.SetPort(static_cast<TPortType>(60));
    EXPECT_TRUE(outside.ComString().isEmpty());
    EXPECT_EQ(comFailure([&] { outside.Open(); }).first, 1);

    // A device that is no terminal at all.
    ComDeviceTable::map(COM14, "/dev/null");
    TComPort notTty;
    notTty.SetPort(COM14);
    EXPECT_EQ(comFailure([&] { notTty.Open(); }), std::make_pair(1, ENOTTY));
    ComDeviceTable::map(COM14, {});
}

TEST(ComPort, FailingSetupClosesTheHandleAgain)
{
    PtyLine line(COM11);
    class RefusingPort : public TComPort {
    protected:
        void SetupComPort() override { throw EComPort(ecSetState, EINVAL); }
    } port;
    port.SetPort(COM11);
    EXPECT_EQ(comFailure([&] { port.Open(); }).first, 7);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Handle(), -1);
    // The device is free again.
    TComPort other;
    other.SetPort(COM11);
    EXPECT_NO_THROW(other.Open());
}

TEST(ComPort, PortChangedWhileOpenReopens)
{
    PtyLine a(COM11);
    PtyLine b(COM12);
    TComPort port;
    port.SetPort(COM11);
    port.Open();
    int closes = 0;
    port.SetOnClose([&](QObject*) { ++closes; });

    port.SetPort(COM12);
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(closes, 1);
    // COM11 is free, COM12 is taken.
    TComPort probe;
    probe.SetPort(COM11);
    EXPECT_NO_THROW(probe.Open());
    probe.Close();

    ComDeviceTable::map(COM13, "/nonexistent/ttyUSB2");
    EXPECT_EQ(comFailure([&] { port.SetPort(COM13); }).first, 1);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), COM13);
    ComDeviceTable::map(COM13, {});

    // Closed, a new number is only stored.
    port.SetPort(COM11);
    EXPECT_FALSE(port.Connected());
    port.SetConnected(true);
    EXPECT_TRUE(port.Connected());
}

TEST(ComPort, SyncMethodOnlyWhileClosed)
{
    PtyLine line(COM11);
    TComPort port;
    port.SetPort(COM11);
    port.Open();
    try {
        port.SetSyncMethod(smNone);
        FAIL() << "SyncMethod changed while open";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 14);
        EXPECT_EQ(e.WinCode(), -1);
        EXPECT_EQ(e.message(), QStringLiteral("Cannot set SyncMethod while connected"));
    }
    EXPECT_NO_THROW(port.SetSyncMethod(smThreadSync));
    port.Close();
    port.SetSyncMethod(smNone);
    EXPECT_EQ(port.SyncMethod(), smNone);
}

TEST(ComPort, EmptyEventsStartNoThread)
{
    PtyLine line(COM11);
    TComPort port;
    port.SetPort(COM11);
    port.SetEvents({});
    port.Open();
    EXPECT_EQ(port.EventThread(), nullptr);
    port.SetEvents({evRxChar});
    port.Close();
    port.Open();
    EXPECT_NE(port.EventThread(), nullptr);
}

TEST(ComPort, QueriesOnAClosedPortRaiseTheirCodes)
{
    TComPort port;
    EXPECT_EQ(comFailure([&] { port.ModemSignals(); }), std::make_pair(11, EBADF));
    EXPECT_EQ(comFailure([&] { port.InputCount(); }).first, 10);
    EXPECT_EQ(comFailure([&] { port.OutputCount(); }).first, 10);
    EXPECT_EQ(comFailure([&] { port.LastErrors(); }).first, 10);
    EXPECT_EQ(comFailure([&] { port.StateFlags(); }).first, 10);
    EXPECT_EQ(comFailure([&] { port.SetDTR(true); }).first, 12);
    EXPECT_EQ(comFailure([&] { port.SetBreak(true); }).first, 12);
    EXPECT_EQ(comFailure([&] { port.ClearBuffer(true, true); }).first, 5);
    EXPECT_EQ(comFailure([&] { port.AbortAllAsync(); }).first, 5);
    EXPECT_EQ(comFailure([&] { port.TransmitChar('x'); }).first, 13);
    // Closing a closed port, and applying to it, do nothing.
    EXPECT_NO_THROW(port.Close());
    EXPECT_NO_THROW(port.ApplyDCB());
}

TEST(ComPort, ModemSignalsOfALiveAndAHungUpLine)
{
    PtyLine line(COM11);
    TComPort port;
    port.SetPort(COM11);
    port.Open();
    // A pseudo-terminal has no modem lines: a working port all the same.
    EXPECT_EQ(port.ModemSignals(), TModemSignals {});
    EXPECT_EQ(port.LastErrors(), TComErrors {});
    EXPECT_EQ(port.InputCount(), 0);

    line.unplug();
    const auto failure = comFailure([&] { port.ModemSignals(); });
    EXPECT_EQ(failure.first, 11);
    EXPECT_EQ(failure.second, EIO);
    // Closing after the hangup works and frees the number for a reopen.
    port.Close();
    EXPECT_FALSE(port.Connected());
}

TEST(ComPort, RefusedSettingsAreNotKeptSoThePortStillReopens)
{
    PtyLine line(COM11);
    TComPort port;
    port.SetPort(COM11);
    port.Open();
    EXPECT_EQ(comFailure([&] { port.SetStopBits(sbOne5StopBits); }).first, 7);
    EXPECT_EQ(port.StopBits(), sbOneStopBit) << "the port keeps what the line runs with";

    // Changed in place through the port's own settings objects.
    EXPECT_EQ(comFailure([&] { port.Parity().SetBits(prMark); }).first, 7);
    EXPECT_EQ(port.Parity().Bits(), prNone);
    TComFlowControl flow;
    flow.SetControlDTR(dtrHandshake);
    EXPECT_EQ(comFailure([&] { port.SetFlowControl(flow); }).first, 7);
    EXPECT_EQ(port.FlowControl().ControlDTR(), dtrDisable);

    EXPECT_EQ(comFailure([&] { port.Buffer().SetInputSize(0); }).first, 9);
    EXPECT_EQ(port.Buffer().InputSize(), 1024u);

    // While closed, what no line can have is refused just the same, and
    // what was taken before stays.
    port.Close();
    port.SetBaudRate(br1200);
    EXPECT_EQ(comFailure([&] { port.SetStopBits(sbOne5StopBits); }), std::make_pair(7, EINVAL));
    EXPECT_EQ(comFailure([&] { port.FlowControl().SetControlRTS(rtsToggle); }), std::make_pair(7, EINVAL));
    EXPECT_EQ(comFailure([&] { port.Buffer().SetInputSize(0); }).first, 9);
    EXPECT_EQ(port.StopBits(), sbOneStopBit);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsDisable);
    EXPECT_EQ(port.BaudRate(), br1200);
    EXPECT_NO_THROW(port.Open()) << "a refused setting would make every reopen fail";
    EXPECT_TRUE(port.Connected());
    const termios t = settingsOf(port);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B1200));
}
