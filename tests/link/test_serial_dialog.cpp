// "Communication Settings": what the dialog shows of a port, what OK writes
// back and in which order, and what the four push buttons change. The
// modal loop is answered by the test.

#include "support/Eventually.h"
#include "support/PtyLine.h"

#include <QTest>

#include "link/CPort.h"
#include "link/CPortFrm.h"
#include "link/ComError.h"
#include "shell/Config.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

class SerialDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = TSerialFrm::runModal;
        TSerialFrm::Install();
    }
    void TearDown() override
    {
        TSerialFrm::runModal = saved;
        ComDeviceTable::clear();
    }

    // Shows the dialog for port; answer changes the controls and says
    // whether the user pressed OK.
    void show(TComPort& port, const std::function<bool(TSerialFrm&)>& answer)
    {
        TSerialFrm::runModal = answer;
        port.ShowSetupDialog();
    }

    std::function<bool(TSerialFrm&)> saved;
};

TEST_F(SerialDialog, ListsHoldTheEnumerationsInOrdinalOrder)
{
    TSerialFrm dialog;
    ASSERT_EQ(dialog.ComboBox1->count(), PortTypeCount);
    EXPECT_EQ(dialog.ComboBox1->itemText(COM1), "COM 1");
    EXPECT_EQ(dialog.ComboBox1->itemText(COM50), "COM 50");
    ASSERT_EQ(dialog.ComboBox2->count(), BaudRateCount);
    for (int i = 0; i < BaudRateCount; ++i)
        EXPECT_EQ(dialog.ComboBox2->itemText(i).toInt(), CONFIG::baudTable[static_cast<std::size_t>(i)]);
    EXPECT_EQ(dialog.ComboBox3->itemText(sbOne5StopBits), "1.5");
    EXPECT_EQ(dialog.ComboBox4->itemText(dbSeven), "7");
    EXPECT_EQ(dialog.ComboBox5->itemText(prMark), "Mark");
    EXPECT_EQ(dialog.windowTitle(), "Communication Settings");
    EXPECT_EQ(dialog.size(), QSize(396, 360));
}

TEST_F(SerialDialog, OpensWithThePortsValuesAndShowsTheDeviceOfTheChosenNumber)
{
    ComDeviceTable::map(COM11, "/dev/serial/by-id/usb-timer");
    TComPort port;
    port.SetPort(COM10);
    port.SetBaudRate(br57600);
    port.Parity().SetBits(prOdd);
    // RTS handshake and CTS flow come together on Linux, or not at all.
    TComFlowControl flow;
    flow.SetXonXoffIn(true);
    flow.SetControlRTS(rtsHandshake);
    flow.SetOutCTSFlow(true);
    port.SetFlowControl(flow);
    port.SetBluetoothConnection(true);
    port.SetPortName("Finish");

    show(port, [](TSerialFrm& d) {
        EXPECT_EQ(d.ComboBox1->currentText(), "COM 10");
        EXPECT_EQ(d.ComboBox2->currentText(), "57600");
        EXPECT_EQ(d.ComboBox4->currentText(), "8");
        EXPECT_EQ(d.ComboBox5->currentText(), "Odd");
        EXPECT_FALSE(d.CheckBox3->isChecked());
        EXPECT_TRUE(d.CheckBox4->isChecked());
        EXPECT_EQ(d.RadioGroup1->ItemIndex(), rtsHandshake);
        EXPECT_EQ(d.RadioGroup2->ItemIndex(), dtrDisable);
        EXPECT_TRUE(d.cbBluetoothConnection->isChecked());
        EXPECT_EQ(d.edPortName->text(), "Finish");
        EXPECT_EQ(d.lbDevice->toolTip(), "/dev/ttyS9");
        d.ComboBox1->setCurrentIndex(COM11);
        EXPECT_EQ(d.lbDevice->toolTip(), "/dev/serial/by-id/usb-timer");
        return false;
    });
    EXPECT_EQ(port.Port(), COM10);
}

TEST_F(SerialDialog, OkOnAnOpenPortReopensOnTheNewNumberAndRate)
{
    PtyLine first(COM11);
    PtyLine second(COM3);
    TComPort port;
    port.SetPort(COM11);
    port.Open();
    show(port, [](TSerialFrm& d) {
        d.ComboBox1->setCurrentIndex(COM3);
        d.ComboBox2->setCurrentIndex(br9600);
        d.edPortName->setText("Lane side");
        return true;
    });
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(port.Port(), COM3);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.PortName(), "Lane side");

    // It reads from the new line.
    ASSERT_TRUE(second.send("abc"));
    ASSERT_TRUE(eventually([&] { return port.InputCount() == 3; }));
}

TEST_F(SerialDialog, OkOnAClosedPortOnlyStoresTheValues)
{
    TComPort port;
    show(port, [](TSerialFrm& d) {
        d.ComboBox1->setCurrentIndex(COM3);
        d.ComboBox2->setCurrentIndex(br9600);
        d.ComboBox5->setCurrentIndex(prEven);
        d.SpeedButton1->click();
        return true;
    });
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), COM3);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.Parity().Bits(), prEven);
    EXPECT_EQ(port.FlowControl().ControlRTS(), rtsHandshake);
    EXPECT_TRUE(port.FlowControl().OutCTSFlow());
}

TEST_F(SerialDialog, CancelWritesNothingBack)
{
    TComPort port;
    show(port, [](TSerialFrm& d) {
        d.SpeedButton3->click();
        d.ComboBox2->setCurrentIndex(br110);
        d.edPortName->setText("x");
        return false;
    });
    EXPECT_FALSE(port.FlowControl().XonXoffOut());
    EXPECT_FALSE(port.FlowControl().XonXoffIn());
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_TRUE(port.PortName().isEmpty());
}

TEST_F(SerialDialog, ThePushButtonsChangeOnlyWhatTheyName)
{
    TSerialFrm d;
    d.cbBluetoothConnection->setChecked(true);
    d.edPortName->setText("Finish");
    d.RadioGroup1->SetItemIndex(rtsEnable);
    d.RadioGroup2->SetItemIndex(dtrEnable);

    d.SpeedButton3->click();
    d.SpeedButton1->click();
    EXPECT_EQ(d.RadioGroup1->ItemIndex(), rtsHandshake);
    EXPECT_EQ(d.RadioGroup2->ItemIndex(), dtrEnable);
    EXPECT_TRUE(d.CheckBox1->isChecked());
    EXPECT_FALSE(d.CheckBox2->isChecked());
    EXPECT_TRUE(d.CheckBox3->isChecked() && d.CheckBox4->isChecked());

    d.SpeedButton2->click();
    EXPECT_EQ(d.RadioGroup2->ItemIndex(), dtrHandshake);
    EXPECT_TRUE(d.CheckBox2->isChecked());

    d.SpeedButton4->click();
    for (QCheckBox* box : {d.CheckBox1, d.CheckBox2, d.CheckBox3, d.CheckBox4})
        EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(d.RadioGroup1->ItemIndex(), rtsDisable);
    EXPECT_EQ(d.RadioGroup2->ItemIndex(), dtrDisable);
    EXPECT_TRUE(d.cbBluetoothConnection->isChecked());
    EXPECT_EQ(d.edPortName->text(), "Finish");
}

TEST_F(SerialDialog, SettingsTheDialogDoesNotShowComeBackUnchanged)
{
    TComPort port;
    port.FlowControl().SetTxContinueOnXoff(true);
    port.FlowControl().SetXonChar(5);
    port.FlowControl().SetXoffChar(6);
    port.Parity().SetCheck(true);
    port.Timeouts().SetReadInterval(40);
    show(port, [](TSerialFrm& d) {
        d.SpeedButton3->click();
        d.ComboBox5->setCurrentIndex(prSpace);
        return true;
    });
    const TComFlowControl& flow = port.FlowControl();
    EXPECT_TRUE(flow.XonXoffOut() && flow.XonXoffIn());
    EXPECT_TRUE(flow.TxContinueOnXoff());
    EXPECT_EQ(flow.XonChar(), 5);
    EXPECT_EQ(flow.XoffChar(), 6);
    EXPECT_EQ(port.Parity().Bits(), prSpace);
    EXPECT_TRUE(port.Parity().Check());
    EXPECT_EQ(port.Timeouts().ReadInterval(), 40);
}

TEST_F(SerialDialog, ANumberWithoutADeviceLeavesThePortClosedOnItAndStopsTheWriteBack)
{
    PtyLine line(COM11);
    ComDeviceTable::map(COM40, "/nonexistent/timer");
    TComPort port;
    port.SetPort(COM11);
    port.Open();
    try {
        show(port, [](TSerialFrm& d) {
            d.ComboBox1->setCurrentIndex(COM40);
            d.ComboBox2->setCurrentIndex(br115200);
            d.edPortName->setText("Finish");
            return true;
        });
        FAIL() << "no failure reached the caller";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 1);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.Port(), COM40);
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_TRUE(port.PortName().isEmpty());
}

} // namespace
