// Ports A and B of the main window over pseudo-terminals: the status panel,
// reopening after an unplug, the enable boxes, "Dual Com Ports", "Coms
// Setup" and start-up. The status checks are driven by hand; one test runs
// the real status timer, ticking fast, to show it drives them.

#include "LinkFixture.h"

#include "link/CPortFrm.h"
#include "link/ComError.h"
#include "link/LineWatch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>

#include <cerrno>

namespace {

const QColor green(0, 255, 0);
const QColor red(255, 0, 0);
const QColor grey(128, 128, 128);

QByteArray race(int number)
{
    return "00:00,01/01/00," + QByteArray::number(number) + ",LANE,U12G,100M,,1,1,12.34,B1,2,12.56,B2,\r\n";
}

class PortManagement : public LinkFixture {
protected:
    void SetUp() override
    {
        LinkFixture::SetUp();
        savedRunModal = TSerialFrm::runModal;
    }
    void TearDown() override
    {
        TSerialFrm::runModal = savedRunModal;
        LinkFixture::TearDown();
    }

    static std::pair<QString, QColor> status(const QLabel* label)
    {
        return {label->text(), label->palette().color(QPalette::Window)};
    }
    std::pair<QString, QColor> statusA() const { return status(main->lbConnectStatus); }
    std::pair<QString, QColor> statusB() const { return status(main->lbConnectStatus2); }

    bool portBControlsShown() const
    {
        for (const QWidget* w : {static_cast<QWidget*>(main->btnComsSetupB), static_cast<QWidget*>(main->lbConnectStatus2),
                                 static_cast<QWidget*>(main->lbConnectStatusB), static_cast<QWidget*>(main->cbEnableB)})
            if (w->isHidden())
                return false;
        return true;
    }

    std::function<bool(TSerialFrm&)> savedRunModal;
};

TEST_F(PortManagement, ALivePortShowsConnectedOnGreenWithoutBeeps)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    EXPECT_EQ(statusA(), std::make_pair(QString("NOT Connected"), red));
    main->Timer1Timer();
    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("Connected"), green));
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(PortManagement, AnUnplugTurnsRedWithOneBeepAndIsRetriedUntilTheAdapterIsBack)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    main->Timer1Timer();
    unitA->unplug();

    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("NOT Connected"), red));
    EXPECT_EQ(ui.beeps, 1);
    for (int second = 0; second < 3; ++second) {
        main->Timer1Timer();
        // Closed, reconfigured and tried again; left for the next check.
        EXPECT_FALSE(main->portOpenA);
        EXPECT_FALSE(main->comPortA->Connected());
    }
    EXPECT_EQ(ui.beeps, 1);

    // Plugged in again behind the same path: the next check reopens it and
    // the one after shows it.
    ASSERT_TRUE(unitA->plugIn());
    main->Timer1Timer();
    EXPECT_TRUE(main->portOpenA);
    EXPECT_TRUE(main->comPortA->Connected());
    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("Connected"), green));
    EXPECT_EQ(ui.beeps, 1);

    ASSERT_TRUE(unitA->send(race(5)));
    ASSERT_TRUE(eventually([&] { return races() == 1; }));
    EXPECT_EQ(results(), 2);
}

// The one check on the status timer itself, wired to the checks above; it
// ticks every 20 ms here, since what a second means is the checks' business.
TEST_F(PortManagement, OnTheRealStatusTimerAnUnpluggedPortComesBackByItself)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::Real));
    ASSERT_EQ(main->Timer1->interval(), 1000);
    main->Timer1->setInterval(20);
    ASSERT_TRUE(main->Timer1->isActive());
    ASSERT_TRUE(eventually([&] { return statusA().second == green; }));
    unitA->unplug();
    ASSERT_TRUE(eventually([&] { return statusA().second == red; }));
    ASSERT_TRUE(unitA->plugIn());
    ASSERT_TRUE(eventually([&] { return statusA().second == green; }));
    EXPECT_EQ(ui.beeps, 1);
    ASSERT_TRUE(unitA->send(race(6)));
    ASSERT_TRUE(eventually([&] { return races() == 1; }));
}

TEST_F(PortManagement, APortNameReplacesTheStatusTexts)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand, {{"portname", "Finish A"}}));
    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("Finish A"), green));
    unitA->unplug();
    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("Finish A"), red));
    EXPECT_EQ(ui.beeps, 1);
}

TEST_F(PortManagement, ADisabledPortIsNeitherJudgedNorReopenedAndGoesOnReceiving)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    main->cbEnableA->setChecked(false);
    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("Disabled"), grey));
    ASSERT_TRUE(unitA->send(race(8)));
    ASSERT_TRUE(eventually([&] { return races() == 1; }));

    unitA->unplug();
    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("Disabled"), grey));
    EXPECT_TRUE(main->portOpenA);
    EXPECT_TRUE(main->comPortA->Connected());
    EXPECT_EQ(ui.beeps, 0);

    // Enabled again: the next check shows the link as it is.
    main->cbEnableA->setChecked(true);
    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("NOT Connected"), red));
    EXPECT_EQ(ui.beeps, 1);
}

TEST_F(PortManagement, TickingDualComPortsSavesItAndTheNextCheckOpensPortB)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    EXPECT_FALSE(portBControlsShown());
    EXPECT_FALSE(main->comPortB->Connected());

    main->cbDualComPorts->click();
    EXPECT_TRUE(settingsText().contains("dualComPorts=1"));
    EXPECT_TRUE(portBControlsShown());
    EXPECT_TRUE(main->cbEnableB->isChecked());
    main->Timer1Timer();
    EXPECT_TRUE(main->comPortB->Connected());
    ASSERT_TRUE(unitB->send(race(9)));
    ASSERT_TRUE(eventually([&] { return races() == 1; }));
    main->Timer1Timer();
    EXPECT_EQ(statusB(), std::make_pair(QString("Connected"), green));

    // Cleared: saved, hidden, no longer watched, and left open.
    main->cbDualComPorts->click();
    EXPECT_TRUE(settingsText().contains("dualComPorts=0"));
    EXPECT_FALSE(portBControlsShown());
    EXPECT_FALSE(main->cbEnableB->isChecked());
    unitB->unplug();
    main->Timer1Timer();
    EXPECT_EQ(statusB(), std::make_pair(QString("Connected"), green));
    EXPECT_TRUE(main->comPortB->Connected());
}

TEST_F(PortManagement, ComsSetupCancelledSavesTheUnchangedValuesAndWatchesAgain)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    // Changed behind the program's back: the save puts back what it holds.
    QFile file(places.settingsFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll().replace("baud=57600", "baud=9600");
    file.close();
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();

    bool watchedMeanwhile = true;
    TSerialFrm::runModal = [&](TSerialFrm& dialog) {
        watchedMeanwhile = main->Timer1->isActive();
        dialog.ComboBox2->setCurrentIndex(br110);
        return false;
    };
    main->btnComsSetupA->click();

    EXPECT_FALSE(watchedMeanwhile);
    EXPECT_TRUE(main->Timer1->isActive());
    EXPECT_TRUE(settingsText().contains("baud=57600\n"));
    EXPECT_EQ(main->comPortA->BaudRate(), br57600);
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(PortManagement, ComsSetupConfirmedTakesEffectAtOnceAndIsSaved)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    TSerialFrm::runModal = [](TSerialFrm& dialog) {
        dialog.ComboBox1->setCurrentIndex(COM12);
        dialog.ComboBox2->setCurrentIndex(br115200);
        dialog.edPortName->setText("Finish");
        return true;
    };
    main->btnComsSetupA->click();

    EXPECT_TRUE(main->comPortA->Connected());
    EXPECT_EQ(main->comPortA->Port(), COM12);
    const QByteArray saved = settingsText();
    EXPECT_TRUE(saved.contains("port=COM12\n"));
    EXPECT_TRUE(saved.contains("baud=115200\n"));
    EXPECT_TRUE(saved.contains("portname=Finish\n"));
    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("Finish"), green));
    ASSERT_TRUE(unitB->send(race(11)));
    ASSERT_TRUE(eventually([&] { return races() == 1; }));
}

TEST_F(PortManagement, ASettingTheLineRefusesStopsTheLineSettingsAndTheRestIsSaved)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    // A pseudo-terminal keeps eight data bits whatever it is told.
    TSerialFrm::runModal = [](TSerialFrm& dialog) {
        dialog.ComboBox1->setCurrentIndex(COM12);
        dialog.ComboBox2->setCurrentIndex(br115200);
        dialog.ComboBox4->setCurrentIndex(dbSeven);
        dialog.cbBluetoothConnection->setChecked(true);
        dialog.edPortName->setText("Finish");
        return true;
    };
    main->btnComsSetupA->click();

    // The official is told, and the port goes on with the settings it had.
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("Port A cannot use the settings chosen")) << ui.errors[0].toStdString();
    EXPECT_EQ(main->comPortA->DataBits(), dbEight);
    EXPECT_TRUE(main->comPortA->Connected());
    EXPECT_TRUE(main->Timer1->isActive());
    EXPECT_EQ(main->comPortA->Port(), COM12);
    // The name and the Bluetooth flag are no line settings: they are taken.
    EXPECT_EQ(main->comPortA->PortName(), "Finish");
    const QByteArray saved = settingsText();
    EXPECT_TRUE(saved.contains("port=COM12\n"));
    EXPECT_TRUE(saved.contains("baud=115200\n"));
    EXPECT_TRUE(saved.contains("bluetooth=1\n"));
    EXPECT_TRUE(saved.contains("portname=Finish\n"));

    // Data bits are not settings of the file: a new start has eight again.
    ASSERT_NO_FATAL_FAILURE(restart(Clock::ByHand));
    EXPECT_EQ(main->comPortA->Port(), COM12);
    EXPECT_EQ(main->comPortA->BaudRate(), br115200);
    EXPECT_EQ(main->comPortA->DataBits(), dbEight);
    EXPECT_TRUE(main->comPortA->Connected());
}

TEST_F(PortManagement, ComsSetupOnAClosedPortRefusesWhatNoLineCanHaveAndTheNextCheckOpensIt)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    unitA->unplug();
    main->Timer1Timer();
    ASSERT_FALSE(main->comPortA->Connected());
    TSerialFrm::runModal = [](TSerialFrm& dialog) {
        dialog.SpeedButton2->click(); // Linux has no DTR/DSR handshake
        dialog.edPortName->setText("Finish");
        return true;
    };
    main->btnComsSetupA->click();

    // As for an open port.
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("Port A cannot use the settings chosen")) << ui.errors[0].toStdString();
    EXPECT_TRUE(ui.errors[0].endsWith("\nSetCommState function failed (win error code: 22)"))
        << ui.errors[0].toStdString();
    EXPECT_EQ(main->comPortA->FlowControl().ControlDTR(), dtrDisable);
    EXPECT_TRUE(settingsText().contains("portname=Finish\n"));

    ASSERT_TRUE(unitA->plugIn());
    main->Timer1Timer();
    EXPECT_TRUE(main->comPortA->Connected());
    ASSERT_TRUE(unitA->send(race(14)));
    ASSERT_TRUE(eventually([&] { return races() == 1; }));
}

TEST_F(PortManagement, ASettingsFileThatCannotBeWrittenAfterComsSetupIsShownAndTheLinksStayWatched)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    ASSERT_TRUE(QFile::remove(places.settingsFile));
    ASSERT_TRUE(QDir().mkdir(places.settingsFile));
    TSerialFrm::runModal = [](TSerialFrm&) { return false; };
    main->btnComsSetupA->click();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("Unable to write to ")) << ui.errors[0].toStdString();
    EXPECT_TRUE(main->Timer1->isActive());
}

TEST_F(PortManagement, ABluetoothPortWithoutCarrierDetectIsKeptOpenTenSecondsBeforeItIsReopened)
{
    // A pseudo-terminal has no carrier detect line: the link never comes up.
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand, {{"bluetooth", "1"}}));
    int opens = 0;
    int closes = 0;
    main->comPortA->SetOnOpen([&](QObject*) { ++opens; });
    main->comPortA->SetOnClose([&](QObject*) { ++closes; });
    // The port closes after the test, when these counters are gone.
    const auto forget = qScopeGuard([&] {
        main->comPortA->SetOnOpen({});
        main->comPortA->SetOnClose({});
    });
    for (int round = 1; round <= 2; ++round) {
        for (int second = 1; second < ComCarrierWait::WaitChecks; ++second)
            main->Timer1Timer();
        // Left open to connect, and receiving meanwhile.
        EXPECT_EQ(opens, round - 1);
        EXPECT_EQ(closes, round - 1);
        EXPECT_TRUE(main->comPortA->Connected());
        EXPECT_EQ(statusA(), std::make_pair(QString("NOT Connected"), red));
        ASSERT_TRUE(unitA->send(race(12 + round)));
        ASSERT_TRUE(eventually([&] { return races() == round; }));
        main->Timer1Timer();
        EXPECT_EQ(opens, round) << "reopened after ten seconds without carrier";
        EXPECT_EQ(closes, round);
    }
    ASSERT_TRUE(unitA->send(race(12)));
    ASSERT_TRUE(eventually([&] { return races() == 3; }));
    // The label starts as "NOT Connected" on red, so it never changed: no beep.
    EXPECT_EQ(statusA(), std::make_pair(QString("NOT Connected"), red));
    EXPECT_EQ(ui.beeps, 0);
}

TEST(CarrierWait, CarrierSeenGivesTheLinkItsFullTimeAgain)
{
    ComCarrierWait wait;
    for (int second = 1; second < ComCarrierWait::WaitChecks; ++second)
        EXPECT_FALSE(wait.timedOut(false));
    // Up just in time, then lost: a whole wait again before a reopen.
    EXPECT_FALSE(wait.timedOut(true));
    for (int second = 1; second < ComCarrierWait::WaitChecks; ++second)
        EXPECT_FALSE(wait.timedOut(false));
    EXPECT_TRUE(wait.timedOut(false));
    EXPECT_FALSE(wait.timedOut(false)) << "the wait starts over";
}

TEST_F(PortManagement, AtStartUpAPortThatCannotOpenIsReportedAndTheOtherOpens)
{
    const QByteArray devices = "COM11=" + QFile::encodeName(dir.filePath("no-adapter")) + "\nCOM12="
                               + QFile::encodeName(unitB->path()) + '\n';
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand, {{"dualComPorts", "1"}}, devices));
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("Error opening coms (A): Unable to open com port (win error code: 2)\n"));
    EXPECT_TRUE(main->cbDualComPorts->isChecked());
    EXPECT_TRUE(portBControlsShown());
    EXPECT_TRUE(main->comPortB->Connected());
    EXPECT_TRUE(main->portOpenA);
    EXPECT_TRUE(main->portOpenB);
    EXPECT_TRUE(main->Timer1->isActive());

    main->Timer1Timer();
    EXPECT_EQ(statusA(), std::make_pair(QString("NOT Connected"), red));
    EXPECT_EQ(statusB(), std::make_pair(QString("Connected"), green));
}

TEST_F(PortManagement, AtStartUpPortBIsReportedByItsOwnName)
{
    const QByteArray devices = "COM11=" + QFile::encodeName(unitA->path()) + "\nCOM12="
                               + QFile::encodeName(dir.filePath("no-adapter")) + "\nCOMX=/dev/ttyUSB3\n";
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand, {{"dualComPorts", "1"}}, devices));
    ASSERT_EQ(ui.errors.size(), 2);
    // The Devices section is read when the main window is created.
    EXPECT_TRUE(ui.errors[0].contains("\"COMX\"")) << ui.errors[0].toStdString();
    EXPECT_TRUE(ui.errors[1].startsWith("Error opening coms (B): Unable to open com port (win error code: 2)\n"));
    EXPECT_TRUE(main->comPortA->Connected());
}

TEST_F(PortManagement, APortThatWillNotOpenSaysWhichDeviceAndWhatToDoInTheBoxAndTheStatusHint)
{
    // Not there: the box keeps its first line and adds the device and the remedy.
    const QString missing = dir.filePath("no-adapter");
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand, {}, "COM11=" + QFile::encodeName(missing) + '\n'));
    const QString notThere = missing + " is not there: plug in the timer unit's adapter, or choose the port of its "
                                       "device in Coms Setup or name its device in the Devices section of the settings "
                                       "file.";
    EXPECT_EQ(ui.errors,
              QStringList {"Error opening coms (A): Unable to open com port (win error code: 2)\n" + notThere});
    EXPECT_EQ(main->lbConnectStatus->toolTip(), notThere);

    // Busy: another program holds the device, and the hint follows each reopen.
    ComDeviceTable::map(COM11, QFile::encodeName(unitA->path()));
    TComPort holder;
    holder.SetPort(COM11);
    holder.Open();
    main->Timer1Timer();
    EXPECT_EQ(main->lbConnectStatus->toolTip(),
              unitA->path() + " is busy: another program holds it. Close that program and the port opens within "
                              "a second.");
    holder.Close();
    main->Timer1Timer();
    EXPECT_TRUE(main->comPortA->Connected());
    EXPECT_EQ(main->lbConnectStatus->toolTip(), QString());

    // Permission denied; root opens any device, so this one is told, not tried.
    EXPECT_EQ(EComPort(ecOpenFailed, EACCES, "/dev/ttyUSB0").Advice(),
              "This user may not open /dev/ttyUSB0: join the group dialout (sudo adduser $USER dialout), then log "
              "out and in again.");
}

TEST_F(PortManagement, WithoutDualPortsPortBIsLeftAlone)
{
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    main->Timer1Timer();
    EXPECT_FALSE(main->comPortB->Connected());
    EXPECT_FALSE(portBControlsShown());
    EXPECT_EQ(statusB(), std::make_pair(QString("NOT Connected"), red));
    EXPECT_EQ(ui.beeps, 0);
}

} // namespace
