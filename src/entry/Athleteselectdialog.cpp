#include "entry/Athleteselectdialog.h"

#include "entry/ColourRules.h"
#include "shell/Application.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"

#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

const QSize clientSize(472, 419);
constexpr int panelHeight = 61;

QFont tahoma(int pixels)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    return font;
}

} // namespace

TathleteSelectForm::TathleteSelectForm(Database& database, QWidget* parent)
    : QDialog(parent)
    , AthleteTable(std::make_unique<DataSet>(database, "athletes"))
{
    setWindowTitle(QStringLiteral("Select Athlete"));
    setFont(tahoma(11));
    resize(clientSize);

    AthleteTable->setIndexName("Surname");
    AthleteTable->setCaseInsensitive(true);
    AthleteTable->Open();

    buildControls();
}

TathleteSelectForm::~TathleteSelectForm()
{
    // The grid lets go of the table before the table goes.
    DBGrid1->setDataSet(nullptr, {});
}

void TathleteSelectForm::buildControls()
{
    DBGrid1 = new DataGrid(this);
    // The list is for picking; athletes are edited on the main window.
    DBGrid1->setDataSet(AthleteTable.get(), {
                                                {"number", QStringLiteral("Number"), 70, Qt::AlignLeft, {}, true},
                                                {"firstname", QStringLiteral("Firstname"), 130, Qt::AlignLeft, {}, true},
                                                {"surname", QStringLiteral("Surname"), 150, Qt::AlignLeft, {}, true},
                                                {"age", QStringLiteral("Age"), 50, Qt::AlignLeft, {}, true},
                                            });
    DBGrid1->setFont(tahoma(13));
    DBGrid1->horizontalHeader()->setFont(tahoma(11));
    DBGrid1->verticalHeader()->setDefaultSectionSize(DBGrid1->fontMetrics().height() + 6);
    DBGrid1->drawColumnCell = [this](int row, int) {
        return ColourRules::genderColour(DBGrid1->cellValue(row, "gender").toString().toUtf8());
    };
    DBGrid1->dblClick = [this] { btnSelectClick(); };

    auto* Panel1 = new QFrame(this);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFixedHeight(panelHeight);

    edtSurname = new QLineEdit(Panel1);
    edtSurname->setFont(tahoma(13));
    edtSurname->installEventFilter(this);
    btnSurname = new QPushButton(QStringLiteral("Surname"), Panel1);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), Panel1);
    btnSelect = new QPushButton(QStringLiteral("Select"), Panel1);
    // Enter is the search key of the surname box, and never closes the
    // dialog through a default button.
    for (QPushButton* button : {btnSurname, btnCancel, btnSelect})
        button->setAutoDefault(false);

    auto* panelRow = new QHBoxLayout(Panel1);
    panelRow->addWidget(edtSurname, 1);
    panelRow->addWidget(btnSurname);
    panelRow->addStretch(1);
    panelRow->addWidget(btnCancel);
    panelRow->addWidget(btnSelect);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(DBGrid1, 1);
    column->addWidget(Panel1);

    connect(btnSurname, &QPushButton::clicked, this, &TathleteSelectForm::btnSurnameClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnSelect, &QPushButton::clicked, this, &TathleteSelectForm::btnSelectClick);
}

bool TathleteSelectForm::ShowModal()
{
    setResult(0);
    if (runModal)
        return runModal(*this);
    return exec() == QDialog::Accepted;
}

QString TathleteSelectForm::surnameFilter(const QString& typed)
{
    QString text = typed;
    text.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("surname >= '") + text + QLatin1Char('\'');
}

void TathleteSelectForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TathleteSelectForm::FormShow()
{
    selectedNumber = 0;
    edtSurname->clear();
    runGuarded([this] {
        // The filter text stays for the next search; the list is whole again.
        AthleteTable->setFiltered(false);
        AthleteTable->First();
    });
    edtSurname->setFocus();
}

void TathleteSelectForm::btnSurnameClick()
{
    runGuarded([this] {
        AthleteTable->setFilter(surnameFilter(edtSurname->text()));
        if (!AthleteTable->Filtered())
            AthleteTable->setFiltered(true);
        AthleteTable->First();
    });
}

void TathleteSelectForm::btnSelectClick()
{
    // An empty list offers nobody to pick: Select is then a Cancel, and the
    // result row keeps its athlete.
    if (AthleteTable->IsEmpty()) {
        reject();
        return;
    }
    if (runGuarded([this] { selectedNumber = AthleteTable->FieldByName("number").AsInteger(); }))
        accept();
}

void TathleteSelectForm::edtSurnameKeyDown(int& key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return;
    btnSurnameClick();
    key = 0;
}

bool TathleteSelectForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edtSurname && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        edtSurnameKeyDown(key);
        if (key == 0)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

