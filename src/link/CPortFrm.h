#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QStringList>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TComPort;

// A group box of radio buttons, one chosen at a time, read and set by the
// index of its item; the index is the ordinal of the setting it stands for.
class TRadioGroup : public QGroupBox {
public:
    TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent);

    int ItemIndex() const; // -1 when none is chosen
    void SetItemIndex(int index);
    QList<QWidget*> buttons() const;

private:
    QButtonGroup* m_group;
};

// "Communication Settings": the settings of one serial port, shown modally
// by the port's ShowSetupDialog. The lists and radio groups hold the port's
// enumerations in ordinal order, so an item's index is the setting itself.
// Nothing reaches the port before OK; the four push buttons change only the
// controls. Beside the port list it shows the device file that the chosen
// number opens, so that an official can tell which adapter it is.
class TSerialFrm : public QDialog {
    Q_OBJECT

public:
    explicit TSerialFrm(QWidget* parent = nullptr);

    // Shows the dialog for port and, when the user confirms, writes the
    // choices back through the port's properties, so that an open port takes
    // each at once. A failing write reaches the caller, and what was written
    // before it stays: a new number without a device stops the write-back;
    // a refused line setting stops the line settings only, the name and the
    // Bluetooth flag are still written.
    static void ShowSetupDialog(TComPort& port);
    // Makes ShowSetupDialog the dialog of every TComPort.
    static void Install();

    // Runs the dialog modally; true when confirmed. Tests put their own
    // answer here so that no modal loop ever runs.
    static std::function<bool(TSerialFrm&)> runModal;

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr; // port
    QLabel* Label2 = nullptr;
    QComboBox* ComboBox2 = nullptr; // baud rate
    QLabel* Label3 = nullptr;
    QComboBox* ComboBox3 = nullptr; // stop bits
    QLabel* Label4 = nullptr;
    QComboBox* ComboBox4 = nullptr; // data bits
    QLabel* Label5 = nullptr;
    QComboBox* ComboBox5 = nullptr; // parity
    QLabel* Label7 = nullptr;
    QLabel* lbDevice = nullptr; // the device file of the chosen port
    QGroupBox* GroupBox2 = nullptr;
    TRadioGroup* RadioGroup1 = nullptr; // RTS
    TRadioGroup* RadioGroup2 = nullptr; // DTR
    QCheckBox* CheckBox1 = nullptr; // CTS output flow
    QCheckBox* CheckBox2 = nullptr; // DSR output flow
    QCheckBox* CheckBox3 = nullptr; // XON/XOFF output
    QCheckBox* CheckBox4 = nullptr; // XON/XOFF input
    QPushButton* SpeedButton1 = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QPushButton* SpeedButton3 = nullptr;
    QPushButton* SpeedButton4 = nullptr;
    QCheckBox* cbBluetoothConnection = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* edPortName = nullptr;
    QPushButton* Button2 = nullptr; // Cancel
    QPushButton* Button1 = nullptr; // OK

    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();

private:
    void buildCommonSettings();
    void buildFlowControl();
    void arrangeTabOrder();
    void showDevice();
};
