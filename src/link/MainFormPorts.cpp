// Ports A and B of the main window: configured from the settings, opened at
// start-up, judged once a second and reopened while their link is down,
// their state shown in the status panel, and the three controls of the Coms
// page.

#include "link/CPort.h"
#include "link/ComDevices.h"
#include "link/ComError.h"
#include "shell/IniFile.h"
#include "shell/Application.h"
#include "shell/Main.h"
#include "shell/UiServices.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace {

const QColor connectedColour(0, 255, 0);
const QColor notConnectedColour(255, 0, 0);
const QColor disabledColour(128, 128, 128);

QColor statusColour(const QLabel* label)
{
    return label->palette().color(QPalette::Window);
}

void setStatus(QLabel* label, const QString& text, const QColor& colour)
{
    label->setText(text);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, colour);
    label->setPalette(p);
}

// What the official can do about a port that would not open: the line that
// follows the error box's message and stays in the status label's hint
// while the port is down. Empty for failures with no advice.
QString openAdvice(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EComPort& e) {
        return e.Advice();
    } catch (...) {
        return QString();
    }
}

QString withAdvice(const QString& message, const QString& advice)
{
    return advice.isEmpty() ? message : message + QLatin1Char('\n') + advice;
}

} // namespace

void TMainForm::readDeviceSettings(const QString& settingsFile)
{
    // COM11=/dev/serial/by-id/... keeps a port's number when its adapter
    // comes back under another name.
    const IniFile file(settingsFile);
    for (const IniEntry& entry : file.entries("Devices")) {
        const QString key = QString::fromUtf8(entry.key);
        if (!ComDeviceTable::mapSetting(key, QString::fromUtf8(entry.value)))
            UiServices::current().showError(
                nullptr, QStringLiteral("The line \"%1\" of the Devices section in %2 names no port: the names "
                                        "are COM1 to COM50. The line is ignored.")
                             .arg(key, file.fileName()));
    }
}

void TMainForm::connectTimerUnitLinks()
{
    // The quiet interval is a promise to the timer unit's pauses, so it is
    // kept to the millisecond rather than left to a coarse timer.
    rxDataTimer1->setTimerType(Qt::PreciseTimer);
    rxDataTimer2->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, [this] { runGuarded([this] { Timer1Timer(); }); });
    connect(rxDataTimer1, &QTimer::timeout, this, [this] { runGuarded([this] { rxDataTimer1Timer(); }); });
    connect(rxDataTimer2, &QTimer::timeout, this, [this] { runGuarded([this] { rxDataTimer2Timer(); }); });
    connect(btnComsSetupA, &QPushButton::clicked, this, [this] { runGuarded([this] { btnComsSetupAClick(); }); });
    connect(btnComsSetupB, &QPushButton::clicked, this, [this] { runGuarded([this] { btnComsSetupBClick(); }); });
    // Every change of the tick, the one start-up makes included.
    connect(cbDualComPorts, &QCheckBox::toggled, this, [this] { runGuarded([this] { cbDualComPortsClick(); }); });
}

void TMainForm::startTimerUnitLinks()
{
    try {
        ApplyPortSettings(1);
        comPortA->Open();
    } catch (...) {
        const QString advice = openAdvice(std::current_exception());
        lbConnectStatus->setToolTip(advice);
        UiServices::current().showError(
            this, withAdvice(QStringLiteral("Error opening coms (A): ") + exceptionMessage(std::current_exception()),
                             advice));
    }
    if (config.dualComPorts) {
        if (cbDualComPorts->isChecked())
            cbDualComPortsClick();
        else
            cbDualComPorts->setChecked(true);
        try {
            ApplyPortSettings(2);
            comPortB->Open();
        } catch (...) {
            const QString advice = openAdvice(std::current_exception());
            lbConnectStatus2->setToolTip(advice);
            UiServices::current().showError(
                this,
                withAdvice(QStringLiteral("Error opening coms (B): ") + exceptionMessage(std::current_exception()),
                           advice));
        }
    }
    // Whatever the opens gave: the first check corrects them.
    portOpenA = true;
    portOpenB = true;
    Timer1->start();
}

void TMainForm::ApplyPortSettings(int n)
{
    if (n != 1 && n != 2)
        return;
    const bool a = n == 1;
    TComPort& port = a ? *comPortA : *comPortB;
    port.SetSyncMethod(smThreadSync);
    port.SetBluetoothConnection(a ? config.bluetooth : config.bluetooth2);
    port.SetPortName(a ? config.portname : config.portname2);
    if (a)
        port.SetOnRxChar([this](QObject* sender, int count) { PortARxChar(sender, count); });
    else
        port.SetOnRxChar([this](QObject* sender, int count) { PortBRxChar(sender, count); });
    // Set so that the component reads the modem lines at every change and
    // the error flags at every line error, which clears the error state.
    port.SetOnCTSChange([](QObject*, bool) {});
    port.SetOnDSRChange([](QObject*, bool) {});
    port.SetOnRLSDChange([](QObject*, bool) {});
    port.SetOnError([](QObject*, TComErrors) {});
    port.SetBaudRate(static_cast<TBaudRate>(a ? config.baud : config.baud2));
    port.SetPort(static_cast<TPortType>(a ? config.port : config.port2));
}

void TMainForm::ShowConnectStatus(int n, bool connected)
{
    if (n != 1 && n != 2)
        return;
    QLabel* label = n == 1 ? lbConnectStatus : lbConnectStatus2;
    const QByteArray& name = n == 1 ? config.portname : config.portname2;
    const QString wanted = !name.isEmpty() ? QString::fromUtf8(name)
                           : connected     ? QStringLiteral("Connected")
                                           : QStringLiteral("NOT Connected");
    const QColor& colour = connected ? connectedColour : notConnectedColour;
    if (statusColour(label) == colour && label->text() == wanted)
        return;
    setStatus(label, wanted, colour);
    // Once when the link goes down, not at every second it stays down.
    if (!connected)
        UiServices::current().beep();
}

void TMainForm::ShowDisabledStatus(int n)
{
    if (n != 1 && n != 2)
        return;
    QLabel* label = n == 1 ? lbConnectStatus : lbConnectStatus2;
    if (label->text() != QLatin1String("Disabled"))
        setStatus(label, QStringLiteral("Disabled"), disabledColour);
}

void TMainForm::CheckPort(TComPort& port, bool& flag, int n, bool bluetooth, bool enabled)
{
    // A disabled port is left as it is: an open one goes on receiving.
    if (!enabled) {
        ShowDisabledStatus(n);
        return;
    }
    // Lines that cannot be read mean a port that is closed or unplugged; a
    // Bluetooth link is up only while its carrier detect is on. Closing the
    // port would abort a Bluetooth link still coming up, so it is left open
    // and reopened only when its carrier wait runs out.
    bool connected = false;
    bool reopen = false;
    try {
        const TModemSignals lines = port.ModemSignals();
        connected = !bluetooth || lines.contains(msRLSD);
        if (bluetooth)
            reopen = port.CarrierWait().timedOut(connected);
    } catch (...) {
        reopen = true;
    }
    ShowConnectStatus(n, connected);
    if (reopen)
        flag = false;
    if (flag)
        return;
    // Silent but for the status label's hint, and tried again at the next
    // check until it works.
    QLabel* label = n == 1 ? lbConnectStatus : lbConnectStatus2;
    try {
        port.Close();
        ApplyPortSettings(n);
        port.Open();
        flag = true;
        label->setToolTip(QString());
    } catch (...) {
        label->setToolTip(openAdvice(std::current_exception()));
    }
}

void TMainForm::Timer1Timer()
{
    CheckPort(*comPortA, portOpenA, 1, config.bluetooth, cbEnableA->isChecked());
    if (config.dualComPorts)
        CheckPort(*comPortB, portOpenB, 2, config.bluetooth2, cbEnableB->isChecked());
}

void TMainForm::btnComsSetupAClick()
{
    comsSetupClick(1);
}

void TMainForm::btnComsSetupBClick()
{
    comsSetupClick(2);
}

void TMainForm::comsSetupClick(int n)
{
    const bool a = n == 1;
    TComPort& port = a ? *comPortA : *comPortB;
    // No checks while the dialog is open; receive events still arrive.
    Timer1->stop();
    QString refused;
    try {
        port.ShowSetupDialog();
    } catch (const EComPort& e) {
        // What the port took before the failure is saved below, and the
        // status check shows the port as it is. Settings the line cannot
        // give are not kept by the port, and the official is told so, or
        // the dialog would seem to have taken them.
        if (e.Code() == ecSetState)
            refused = e.message();
    } catch (...) {
    }
    (a ? config.baud : config.baud2) = port.BaudRate();
    (a ? config.port : config.port2) = port.Port();
    (a ? config.bluetooth : config.bluetooth2) = port.BluetoothConnection();
    (a ? config.portname : config.portname2) = port.PortName();
    try {
        config.save(ConfigSections::Coms);
    } catch (...) {
        // The links stay watched even when the settings cannot be written;
        // the failure goes to the standard error box.
        Timer1->start();
        throw;
    }
    Timer1->start();
    if (!refused.isEmpty())
        UiServices::current().showError(
            this, QStringLiteral("Port %1 cannot use the settings chosen and goes on with those it had:\n%2")
                      .arg(a ? QStringLiteral("A") : QStringLiteral("B"), refused));
}

void TMainForm::cbDualComPortsClick()
{
    const bool on = cbDualComPorts->isChecked();
    config.dualComPorts = on;
    for (QWidget* w : {static_cast<QWidget*>(btnComsSetupB), static_cast<QWidget*>(lbConnectStatus2),
                       static_cast<QWidget*>(lbConnectStatusB), static_cast<QWidget*>(cbEnableB)})
        w->setVisible(on);
    cbEnableB->setChecked(on);
    // Port B is not opened here: the next check finds it closed and opens it.
    config.save(ConfigSections::Coms);
}
