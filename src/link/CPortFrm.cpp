#include "link/CPortFrm.h"

#include "link/CPort.h"
#include "link/ComDevices.h"
#include "link/ComError.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <exception>

namespace {

// Items of a radio group start below its caption, one row each.
constexpr int radioTop = 14;
constexpr int radioPitch = 16;

QLabel* label(const QString& caption, QWidget* parent, int left, int top)
{
    auto* l = new QLabel(caption, parent);
    l->move(left, top);
    l->adjustSize();
    return l;
}

QComboBox* dropDownList(const QStringList& items, QWidget* parent, int left, int top)
{
    auto* list = new QComboBox(parent);
    list->addItems(items);
    list->setGeometry(left, top, 89, 21);
    return list;
}

QCheckBox* checkBox(const QString& caption, QWidget* parent, int left, int top, int width)
{
    auto* box = new QCheckBox(caption, parent);
    box->setGeometry(left, top, width, 17);
    return box;
}

QPushButton* pushButton(const QString& caption, QWidget* parent, int left, int top, int width, int height)
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(left, top, width, height);
    return button;
}

} // namespace

std::function<bool(TSerialFrm&)> TSerialFrm::runModal = [](TSerialFrm& dialog) {
    return dialog.exec() == QDialog::Accepted;
};

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent)
    , m_group(new QButtonGroup(this))
{
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        button->setGeometry(8, radioTop + i * radioPitch, 170, radioPitch);
        m_group->addButton(button, i);
    }
}

int TRadioGroup::ItemIndex() const
{
    return m_group->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (QAbstractButton* button = m_group->button(index))
        button->setChecked(true);
}

QList<QWidget*> TRadioGroup::buttons() const
{
    QList<QWidget*> out;
    for (QAbstractButton* button : m_group->buttons())
        out << button;
    return out;
}

TSerialFrm::TSerialFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("Communication Settings"));
    // Where the first choice is missing, a face of the same narrow widths:
    // the captions are laid out for it.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(396, 360);
    // Placed now: a window moved while it is being shown may never be
    // painted on a display without a window manager.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    buildCommonSettings();
    buildFlowControl();

    Button2 = pushButton(QStringLiteral("&Cancel"), this, 216, 327, 75, 25);
    Button1 = pushButton(QStringLiteral("&OK"), this, 310, 327, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    arrangeTabOrder();
}

void TSerialFrm::buildCommonSettings()
{
    GroupBox1 = new QGroupBox(QStringLiteral("Common Settings"), this);
    GroupBox1->setGeometry(8, 8, 377, 97);

    QStringList ports;
    for (int number = 1; number <= PortTypeCount; ++number)
        ports << QStringLiteral("COM %1").arg(number);
    Label1 = label(QStringLiteral("Comm Port"), GroupBox1, 8, 24);
    ComboBox1 = dropDownList(ports, GroupBox1, 80, 16);
    Label2 = label(QStringLiteral("Baud Rate"), GroupBox1, 8, 48);
    ComboBox2 = dropDownList({QStringLiteral("110"), QStringLiteral("300"), QStringLiteral("600"),
                              QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                              QStringLiteral("9600"), QStringLiteral("14400"), QStringLiteral("19200"),
                              QStringLiteral("38400"), QStringLiteral("56000"), QStringLiteral("57600"),
                              QStringLiteral("115200")},
                             GroupBox1, 80, 40);
    Label3 = label(QStringLiteral("Stop Bits"), GroupBox1, 8, 72);
    ComboBox3 = dropDownList({QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}, GroupBox1, 80, 64);
    Label4 = label(QStringLiteral("Data Bits"), GroupBox1, 200, 24);
    ComboBox4 = dropDownList({QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")},
                             GroupBox1, 272, 16);
    Label5 = label(QStringLiteral("Parity"), GroupBox1, 200, 48);
    ComboBox5 = dropDownList({QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
                              QStringLiteral("Mark"), QStringLiteral("Space")},
                             GroupBox1, 272, 40);

    // The free row under the right-hand lists; a long path is shortened in
    // the middle, whole in the tooltip.
    Label7 = label(QStringLiteral("Device"), GroupBox1, 200, 72);
    lbDevice = new QLabel(GroupBox1);
    lbDevice->setGeometry(248, 68, 121, 21);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, [this] { showDevice(); });
    showDevice();
}

void TSerialFrm::buildFlowControl()
{
    GroupBox2 = new QGroupBox(QStringLiteral("Flow Control"), this);
    GroupBox2->setGeometry(8, 112, 377, 201);

    RadioGroup1 = new TRadioGroup(QStringLiteral("Rts input flow control"),
                                  {QStringLiteral("Disable"), QStringLiteral("Enable"), QStringLiteral("Handshake"),
                                   QStringLiteral("Toggle")},
                                  GroupBox2);
    RadioGroup1->setGeometry(8, 16, 185, 81);
    RadioGroup2 = new TRadioGroup(QStringLiteral("Dtr input flow control"),
                                  {QStringLiteral("Disable"), QStringLiteral("Enable"), QStringLiteral("Handshake")},
                                  GroupBox2);
    RadioGroup2->setGeometry(8, 104, 185, 65);

    CheckBox1 = checkBox(QStringLiteral("Cts output flow control"), GroupBox2, 208, 20, 165);
    CheckBox2 = checkBox(QStringLiteral("Dsr output flow control"), GroupBox2, 208, 36, 165);
    CheckBox3 = checkBox(QStringLiteral("Xon/Xoff output flow control"), GroupBox2, 208, 64, 165);
    CheckBox4 = checkBox(QStringLiteral("Xon/Xoff input flow control"), GroupBox2, 208, 80, 165);

    SpeedButton1 = pushButton(QStringLiteral("Hardware (Rts/Cts)"), GroupBox2, 208, 104, 145, 17);
    SpeedButton2 = pushButton(QStringLiteral("Hardware (Dtr/Dsr)"), GroupBox2, 208, 120, 145, 17);
    SpeedButton3 = pushButton(QStringLiteral("Software (Xon/Xoff)"), GroupBox2, 208, 136, 145, 17);
    SpeedButton4 = pushButton(QStringLiteral("Clear all"), GroupBox2, 208, 152, 145, 17);
    // Shortcuts to settings, not stops of the tab order.
    for (QPushButton* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
    }
    connect(SpeedButton1, &QPushButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QPushButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(SpeedButton3, &QPushButton::clicked, this, [this] { SpeedButton3Click(); });
    connect(SpeedButton4, &QPushButton::clicked, this, [this] { SpeedButton4Click(); });

    cbBluetoothConnection = checkBox(QStringLiteral("Bluetooth Connection"), GroupBox2, 16, 175, 129);
    Label6 = label(QStringLiteral("Name"), GroupBox2, 208, 177);
    edPortName = new QLineEdit(GroupBox2);
    edPortName->setGeometry(242, 175, 87, 21);
}

void TSerialFrm::arrangeTabOrder()
{
    QList<QWidget*> order {Button1, Button2, ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5,
                           CheckBox1, CheckBox2, CheckBox3, CheckBox4};
    order << RadioGroup1->buttons() << RadioGroup2->buttons();
    order << cbBluetoothConnection << edPortName;
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TSerialFrm::showDevice()
{
    const int index = ComboBox1->currentIndex();
    const QString path =
        index < 0 ? QString() : QString::fromUtf8(ComDeviceTable::path(static_cast<TPortType>(index)));
    lbDevice->setText(lbDevice->fontMetrics().elidedText(path, Qt::ElideMiddle, lbDevice->width()));
    lbDevice->setToolTip(path);
}

void TSerialFrm::SpeedButton1Click()
{
    RadioGroup1->SetItemIndex(rtsHandshake);
    CheckBox1->setChecked(true);
}

void TSerialFrm::SpeedButton2Click()
{
    RadioGroup2->SetItemIndex(dtrHandshake);
    CheckBox2->setChecked(true);
}

void TSerialFrm::SpeedButton3Click()
{
    CheckBox3->setChecked(true);
    CheckBox4->setChecked(true);
}

void TSerialFrm::SpeedButton4Click()
{
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4})
        box->setChecked(false);
    RadioGroup1->SetItemIndex(rtsDisable);
    RadioGroup2->SetItemIndex(dtrDisable);
}

void TSerialFrm::Install()
{
    TComPort::SetSetupDialog(&TSerialFrm::ShowSetupDialog);
}

void TSerialFrm::ShowSetupDialog(TComPort& port)
{
    // A dialog of its own each time, without owner; the flow control is
    // edited in a free-standing copy that reaches the port only on OK, and
    // carries the settings the dialog does not show back unchanged.
    TSerialFrm dialog;
    TComFlowControl flow(port.FlowControl());

    dialog.ComboBox1->setCurrentIndex(port.Port());
    dialog.ComboBox2->setCurrentIndex(port.BaudRate());
    dialog.ComboBox3->setCurrentIndex(port.StopBits());
    dialog.ComboBox4->setCurrentIndex(port.DataBits());
    dialog.ComboBox5->setCurrentIndex(port.Parity().Bits());
    dialog.CheckBox1->setChecked(flow.OutCTSFlow());
    dialog.CheckBox2->setChecked(flow.OutDSRFlow());
    dialog.CheckBox3->setChecked(flow.XonXoffOut());
    dialog.CheckBox4->setChecked(flow.XonXoffIn());
    dialog.cbBluetoothConnection->setChecked(port.BluetoothConnection());
    dialog.edPortName->setText(QString::fromUtf8(port.PortName()));
    dialog.RadioGroup1->SetItemIndex(flow.ControlRTS());
    dialog.RadioGroup2->SetItemIndex(flow.ControlDTR());

    if (!runModal(dialog))
        return;

    // Each through the port's property, in this order, so that an open port
    // reopens on a new number first and then takes the line settings. A
    // failed reopen stops the write-back there.
    port.SetPort(static_cast<TPortType>(dialog.ComboBox1->currentIndex()));
    // A line setting refused stops the line settings, and the port goes on
    // with those it had; the name and the Bluetooth flag, which no line
    // refuses, are taken all the same.
    std::exception_ptr refused;
    try {
        port.SetBaudRate(static_cast<TBaudRate>(dialog.ComboBox2->currentIndex()));
        port.SetStopBits(static_cast<TStopBits>(dialog.ComboBox3->currentIndex()));
        port.SetDataBits(static_cast<TDataBits>(dialog.ComboBox4->currentIndex()));
        // Stored without applying: the flow control below applies the line once.
        TComParity parity(port.Parity());
        parity.SetBits(static_cast<TParityBits>(dialog.ComboBox5->currentIndex()));
        port.Parity().Assign(parity);
        flow.SetOutCTSFlow(dialog.CheckBox1->isChecked());
        flow.SetOutDSRFlow(dialog.CheckBox2->isChecked());
        flow.SetXonXoffOut(dialog.CheckBox3->isChecked());
        flow.SetXonXoffIn(dialog.CheckBox4->isChecked());
        flow.SetControlRTS(static_cast<TRTSFlowControl>(dialog.RadioGroup1->ItemIndex()));
        flow.SetControlDTR(static_cast<TDTRFlowControl>(dialog.RadioGroup2->ItemIndex()));
        port.SetFlowControl(flow);
    } catch (const EComPort& e) {
        if (e.Code() != ecSetState)
            throw;
        refused = std::current_exception();
    }
    port.SetBluetoothConnection(dialog.cbBluetoothConnection->isChecked());
    port.SetPortName(dialog.edPortName->text().toUtf8());
    if (refused)
        std::rethrow_exception(refused);
}
