// The pure parts of the serial component: messages, the device table, the
// line settings as termios flags, and what the driver's counters and modem
// lines become. These are the paths a pseudo-terminal cannot produce.

#include "link/Async.h"
#include "link/ComDevices.h"
#include "link/ComError.h"
#include "link/LineEvents.h"
#include "link/LineSettings.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <cerrno>
#include <thread>

TEST(ComError, MessagesCarryTheCodeTextAndTheSystemNumber)
{
    const EComPort open(ecOpenFailed, 2);
    EXPECT_EQ(open.message(), QStringLiteral("Unable to open com port (win error code: 2)"));
    EXPECT_EQ(open.Code(), 1);
    EXPECT_EQ(open.WinCode(), 2);

    const EComPort sync = EComPort::CreateNoWinCode(ecSyncMethod);
    EXPECT_EQ(sync.message(), QStringLiteral("Cannot set SyncMethod while connected"));
    EXPECT_EQ(sync.WinCode(), -1);

    EXPECT_EQ(EComPort::CreateNoWinCode(ecInvalidAsync).message(), QStringLiteral("Invalid Async parameter"));
    EXPECT_EQ(EComPort(ecModemStatus, 5).message(),
              QStringLiteral("GetCommModemStatus function failed (win error code: 5)"));
}

class ComDevices : public ::testing::Test {
protected:
    void TearDown() override { ComDeviceTable::clear(); }
};

TEST_F(ComDevices, DefaultTableByFamilyOfTen)
{
    EXPECT_EQ(ComDeviceTable::defaultPath(COM1), "/dev/ttyS0");
    EXPECT_EQ(ComDeviceTable::defaultPath(COM10), "/dev/ttyS9");
    EXPECT_EQ(ComDeviceTable::defaultPath(COM11), "/dev/ttyUSB0");
    EXPECT_EQ(ComDeviceTable::defaultPath(COM12), "/dev/ttyUSB1");
    EXPECT_EQ(ComDeviceTable::defaultPath(COM20), "/dev/ttyUSB9");
    EXPECT_EQ(ComDeviceTable::defaultPath(COM21), "/dev/ttyACM0");
    EXPECT_EQ(ComDeviceTable::defaultPath(COM31), "/dev/rfcomm0");
    EXPECT_EQ(ComDeviceTable::defaultPath(COM41), "/dev/ttyAMA0");
    EXPECT_EQ(ComDeviceTable::defaultPath(COM50), "/dev/ttyAMA9");
    EXPECT_TRUE(ComDeviceTable::path(static_cast<TPortType>(50)).isEmpty());
    EXPECT_TRUE(ComDeviceTable::path(static_cast<TPortType>(-1)).isEmpty());
}

TEST_F(ComDevices, SettingsLinesOverrideOnePortEach)
{
    EXPECT_TRUE(ComDeviceTable::mapSetting(QStringLiteral("COM11"), QStringLiteral(" /dev/serial/by-id/usb-timer ")));
    EXPECT_TRUE(ComDeviceTable::mapSetting(QStringLiteral("com50"), QStringLiteral("/dev/ttyS4")));
    EXPECT_EQ(ComDeviceTable::path(COM11), "/dev/serial/by-id/usb-timer");
    EXPECT_EQ(ComDeviceTable::path(COM50), "/dev/ttyS4");
    EXPECT_EQ(ComDeviceTable::path(COM12), "/dev/ttyUSB1");

    for (const char* wrong : {"COM0", "COM51", "COM01", "COM", "COM+1", "PORT11", "COM1x"})
        EXPECT_FALSE(ComDeviceTable::mapSetting(QString::fromLatin1(wrong), QStringLiteral("/dev/null"))) << wrong;
    EXPECT_EQ(ComDeviceTable::path(COM1), "/dev/ttyS0");

    // An empty value puts the built-in device back.
    EXPECT_TRUE(ComDeviceTable::mapSetting(QStringLiteral("COM11"), QString()));
    EXPECT_EQ(ComDeviceTable::path(COM11), "/dev/ttyUSB0");
}

namespace {

termios rawStart()
{
    termios t {};
    cfmakeraw(&t);
    return t;
}

} // namespace

TEST(LineSettingsMapping, WordSizeParityAndStopBits)
{
    termios t = rawStart();
    LineSettings s;
    s.dataBits = dbSeven;
    s.parity = prEven;
    s.stopBits = sbTwoStopBits;
    ASSERT_EQ(buildLineTermios(t, s), 0);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), static_cast<tcflag_t>(PARENB));
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_TRUE(t.c_cflag & CLOCAL);
    EXPECT_TRUE(t.c_iflag & IGNBRK);

    const struct {
        TParityBits bits;
        tcflag_t flags;
    } parities[] = {{prNone, 0},
                    {prOdd, PARENB | PARODD},
                    {prEven, PARENB},
                    {prMark, PARENB | CMSPAR | PARODD},
                    {prSpace, PARENB | CMSPAR}};
    for (const auto& p : parities) {
        ASSERT_EQ(setParity(t, p.bits, false, false, 0), 0);
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), p.flags) << p.bits;
    }

    // One and a half stop bits exist only with five-bit words.
    EXPECT_EQ(setStopBits(t, sbOne5StopBits, dbFive), 0);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
    EXPECT_EQ(setStopBits(t, sbOne5StopBits, dbEight), EINVAL);
    EXPECT_EQ(setDataBits(t, dbFive), 0);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS5));
}

TEST(LineSettingsMapping, ParityCheckingAndReplacement)
{
    termios t = rawStart();
    // Checking alone leaves the bytes as received; the driver counts errors.
    ASSERT_EQ(setParity(t, prEven, true, false, 0), 0);
    EXPECT_FALSE(t.c_iflag & INPCK);
    // Replacing by NUL is what INPCK gives; by any other byte Linux cannot.
    ASSERT_EQ(setParity(t, prEven, true, true, 0), 0);
    EXPECT_TRUE(t.c_iflag & INPCK);
    EXPECT_FALSE(t.c_iflag & (PARMRK | IGNPAR));
    EXPECT_EQ(setParity(t, prEven, true, true, '?'), EINVAL);
}

TEST(LineSettingsMapping, FlowControlLinuxCanGiveAndWhatItRefuses)
{
    termios t = rawStart();
    LineSettings s;
    s.outCTSFlow = true;
    s.controlRTS = rtsHandshake;
    s.xonXoffIn = true;
    s.xonXoffOut = true;
    ASSERT_EQ(setFlowControl(t, s), 0);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);

    const auto refused = [](auto change) {
        LineSettings settings;
        change(settings);
        termios scratch = rawStart();
        return setFlowControl(scratch, settings) == EINVAL;
    };
    EXPECT_TRUE(refused([](LineSettings& x) { x.controlDTR = dtrHandshake; }));
    EXPECT_TRUE(refused([](LineSettings& x) { x.controlRTS = rtsToggle; }));
    EXPECT_TRUE(refused([](LineSettings& x) { x.outDSRFlow = true; }));
    EXPECT_TRUE(refused([](LineSettings& x) { x.dsrSensitivity = true; }));
    // The kernel's hardware handshake is both directions or neither.
    EXPECT_TRUE(refused([](LineSettings& x) { x.outCTSFlow = true; }));
    EXPECT_TRUE(refused([](LineSettings& x) { x.controlRTS = rtsHandshake; }));
    EXPECT_TRUE(refused([](LineSettings& x) {
        x.xonXoffIn = true;
        x.xonChar = x.xoffChar = 19;
    }));
    EXPECT_FALSE(refused([](LineSettings& x) { x.controlDTR = dtrEnable; }));
}

TEST(LineSettingsMapping, RatesWithoutConstantGoThroughTheCustomInterface)
{
    termios t = rawStart();
    EXPECT_TRUE(setStandardSpeed(t, 57600));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_FALSE(setStandardSpeed(t, 14400));
    EXPECT_FALSE(setStandardSpeed(t, 56000));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));

    EXPECT_EQ(baudRateValue(br110), 110);
    EXPECT_EQ(baudRateValue(br14400), 14400);
    EXPECT_EQ(baudRateValue(br115200), 115200);
    EXPECT_EQ(baudRateValue(static_cast<TBaudRate>(13)), 0);

    // 2 % either way is what a receiver tolerates.
    EXPECT_TRUE(lineRateKept(14400, 14400));
    EXPECT_TRUE(lineRateKept(56000, 57120));
    EXPECT_FALSE(lineRateKept(56000, 57600));
}

TEST(LineSettingsMapping, DriverThatDropsAFlagIsNoticed)
{
    termios wanted = rawStart();
    LineSettings s;
    s.parity = prMark;
    ASSERT_EQ(buildLineTermios(wanted, s), 0);
    termios actual = wanted;
    EXPECT_TRUE(lineFlagsKept(wanted, actual));
    actual.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
    EXPECT_FALSE(lineFlagsKept(wanted, actual));
}

TEST(LineCountersMapping, ModemLinesErrorsAndEvents)
{
    EXPECT_EQ(modemSignalsFromLines(0), TModemSignals {});
    EXPECT_EQ(modemSignalsFromLines(TIOCM_CTS | TIOCM_CAR | TIOCM_DTR), (TModemSignals {msCTS, msRLSD}));
    EXPECT_EQ(modemSignalsFromLines(TIOCM_DSR | TIOCM_RNG), (TModemSignals {msDSR, msRing}));

    LineCounters before;
    LineCounters after;
    after.frame = 1;
    after.parity = 2;
    after.overrun = 1;
    after.brk = 1;
    after.bufOverrun = 3;
    after.dcd = 1;
    EXPECT_EQ(errorsBetween(before, after, true), (TComErrors {ceFrame, ceRxParity, ceOverrun, ceBreak, ceRxOver}));
    // Parity errors count only while parity is checked.
    EXPECT_EQ(errorsBetween(before, after, false), (TComErrors {ceFrame, ceOverrun, ceBreak, ceRxOver}));
    EXPECT_EQ(eventsBetween(before, after, true), EV_ERR | EV_BREAK | EV_RLSD);

    LineCounters onlyParity;
    onlyParity.parity = 1;
    EXPECT_EQ(eventsBetween(before, onlyParity, false), 0u);
    LineCounters lines;
    lines.cts = 2;
    lines.dsr = 1;
    lines.rng = 1;
    EXPECT_EQ(eventsBetween(before, lines, false), EV_CTS | EV_DSR | EV_RING);
    // The buffer overflow is reported by LastErrors, not as a line-error event.
    LineCounters overflow;
    overflow.bufOverrun = 1;
    EXPECT_EQ(eventsBetween(before, overflow, false), 0u);
}

TEST(LineCountersMapping, ErrorStateGathersUntilTaken)
{
    ComErrorState state;
    LineCounters c;
    state.reset(c);
    c.frame = 1;
    EXPECT_EQ(state.update(c), EV_ERR);
    c.brk = 4;
    EXPECT_EQ(state.update(c), EV_BREAK);
    EXPECT_EQ(state.update(c), 0u);
    EXPECT_EQ(state.takeAll(), (TComErrors {ceFrame, ceBreak}));
    EXPECT_EQ(state.takeAll(), TComErrors {});
}

TEST(EventFlags, DispatchOrderAndValues)
{
    EXPECT_EQ(eventFlags(AllEvents), 0x05FFu);
    EXPECT_EQ(eventFlags({evRxChar}), EV_RXCHAR);
    EXPECT_EQ(eventFlags({evRx80Full, evRing}), EV_RX80FULL | EV_RING);
    EXPECT_EQ(DispatchOrder.front(), evRxChar);
    EXPECT_EQ(DispatchOrder[2], evBreak);
    EXPECT_EQ(DispatchOrder.back(), evRx80Full);
}

TEST(TransferTimeouts, ReadTimeoutForms)
{
    const auto finishedAtOnce = [](ComActiveTimeouts timeouts, qsizetype count, qsizetype done) {
        TComOverlapped t;
        t.Count = count;
        startTimeouts(t, okRead, timeouts);
        t.Done = done;
        return transferFinished(t, okRead);
    };
    ComActiveTimeouts initial;
    EXPECT_TRUE(finishedAtOnce(initial, 10, 0));

    ComActiveTimeouts firstByte;
    firstByte.readTotalMultiplier = 0xFFFFFFFFu;
    firstByte.readTotalConstant = 60000;
    EXPECT_FALSE(finishedAtOnce(firstByte, 10, 0));
    EXPECT_TRUE(finishedAtOnce(firstByte, 10, 1));

    ComActiveTimeouts none;
    none.readInterval = 0;
    EXPECT_FALSE(finishedAtOnce(none, 10, 9));
    EXPECT_TRUE(finishedAtOnce(none, 10, 10));

    TComOverlapped waiting;
    waiting.Count = 10;
    startTimeouts(waiting, okRead, none);
    EXPECT_EQ(transferWaitMs(waiting, okRead), -1);

    ComActiveTimeouts total;
    total.readInterval = 0;
    total.readTotalConstant = 1;
    TComOverlapped expiring;
    expiring.Count = 10;
    startTimeouts(expiring, okRead, total);
    EXPECT_GE(transferWaitMs(expiring, okRead), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    EXPECT_TRUE(transferFinished(expiring, okRead));
}

TEST(TransferTimeouts, WriteTotalGrowsWithTheCount)
{
    ComActiveTimeouts timeouts; // 100 ms a byte plus 1000 ms
    TComOverlapped t;
    t.Count = 100;
    startTimeouts(t, okWrite, timeouts);
    EXPECT_GT(transferWaitMs(t, okWrite), 10000);
    EXPECT_FALSE(transferFinished(t, okWrite));
    t.Done = 100;
    EXPECT_TRUE(transferFinished(t, okWrite));
}
