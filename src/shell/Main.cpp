#include "shell/Main.h"

#include "barcode/Bcodedialog.h"
#include "entry/Racedetailsdialog.h"
#include "exchange/ExchangeActions.h"
#include "helpview/Helpdialog1.h"
#include "link/CPort.h"
#include "shell/AppWindows.h"
#include "shell/Application.h"
#include "shell/DataGrid.h"
#include "shell/EngineSettings.h"
#include "shell/FileLocations.h"
#include "shell/ToolIcons.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "store/DatabaseLink.h"
#include "store/Exception.h"
#include "store/Query.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QFont tahoma(int pixels, bool bold)
{
    QFont f(QStringLiteral("Tahoma"));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void setStatusColour(QLabel* label, const QColor& colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::Window, colour);
    label->setPalette(p);
}

} // namespace

MainFormPlaces MainFormPlaces::ofExecutable()
{
    const FileLocations files = FileLocations::ofRunningProgram();
    return {files.dataFolder, files.settingsFile, files.helpParent};
}

TMainForm::TMainForm(const MainFormPlaces& places, AppWindows& windows, QWidget* parent)
    : QWidget(parent)
    , m_windows(windows)
    , m_database(std::make_unique<Database>(readDatabaseSettings(places.settingsFile), places.databaseFolder))
    , m_query(std::make_unique<Query>(*m_database))
    , m_raceTable(std::make_unique<DataSet>(*m_database, "races"))
    , m_athleteTable(std::make_unique<DataSet>(*m_database, "athletes"))
    , m_recordTable(std::make_unique<DataSet>(*m_database, "record"))
    , m_eventTable(std::make_unique<DataSet>(*m_database, "event"))
    , m_pbTable(std::make_unique<DataSet>(*m_database, "pb"))
    , config(places.settingsFile)
    , raceJournal(QFileInfo(places.settingsFile).absolutePath())
    , comPortA(std::make_unique<TComPort>())
    , comPortB(std::make_unique<TComPort>())
{
    readDeviceSettings(places.settingsFile);
    m_raceTable->setIndexName("PrimaryKey");
    m_athleteTable->setCaseInsensitive(true);
    for (DataSet* table : {m_raceTable.get(), m_athleteTable.get(), m_recordTable.get(), m_eventTable.get(),
                           m_pbTable.get()})
        table->Open();

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    rxDataTimer1 = new QTimer(this);
    rxDataTimer1->setSingleShot(true);
    rxDataTimer1->setInterval(2000);
    rxDataTimer2 = new QTimer(this);
    rxDataTimer2->setSingleShot(true);
    rxDataTimer2->setInterval(2000);
    m_rxClock.start();

    buildWindow();
    bindGrids();
    UiServices::setNoticePanel([this](const QString& text) { showStatusNotice(text); });
    connectTimerUnitLinks();
    startWatchingOtherStations();
    databaseLink = new DatabaseLink(*m_database, this);
    databaseLink->whenChanged([this] { runGuarded([this] { ShowDatabaseStatus(); }); });
}

TMainForm::~TMainForm()
{
    UiServices::setNoticePanel({});
    // Closing a port still runs the events it has pending: at shutdown they
    // are dropped, not processed.
    comPortA->SetOnRxChar({});
    comPortB->SetOnRxChar({});
    comPortA.reset();
    comPortB.reset();
    // The grids' headers ask their datasets for column titles while the
    // window hides; the datasets are members and go before the widget base
    // class would hide it, so it hides while they are still there.
    hide();
}

DataSet& TMainForm::tableOfPage(int page)
{
    switch (page) {
    case RacesPage:
        return *m_raceTable;
    case AthletesPage:
        return *m_athleteTable;
    case RecordsPage:
        return *m_recordTable;
    case EventsPage:
        return *m_eventTable;
    default:
        return *m_pbTable;
    }
}

void TMainForm::buildWindow()
{
    setWindowTitle(QStringLiteral("VEXO Barcode System, V2.00.04"));
    setFont(tahoma(13, true));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolPanel());
    layout->addWidget(buildPages(), 1);
    layout->addWidget(buildStatusPanel());
    resize(763, 586);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QWidget* TMainForm::buildToolPanel()
{
    auto* panel = new QWidget(this);
    panel->setFixedHeight(70);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 4, 10, 4);

    auto tool = [&](ToolIcon icon, const QString& hint) {
        auto* button = new QToolButton(panel);
        button->setIcon(toolIcon(icon));
        button->setIconSize(QSize(32, 32));
        button->setToolTip(hint);
        button->setAutoRaise(true);
        button->setFixedSize(48, 48);
        row->addWidget(button);
        return button;
    };
    btnExit = tool(ToolIcon::Exit, QStringLiteral("Exit Program"));
    btnImport = tool(ToolIcon::Import, QStringLiteral("Import Track Data"));
    btnExport = tool(ToolIcon::Export, QStringLiteral("Export Results"));
    btnHelp = tool(ToolIcon::Help, QStringLiteral("Help"));
    btnBarcodes = tool(ToolIcon::Barcodes, QStringLiteral("Barcodes for selected athletes"));
    row->addStretch(1);

    edtSearch = new QLineEdit(panel);
    edtSearch->setMinimumWidth(260);
    edtSearch->installEventFilter(this);
    btnSearch = new QPushButton(QStringLiteral("Search"), panel);
    btnSearch->setToolTip(QStringLiteral("Search for particular records"));
    btnClear = new QPushButton(QStringLiteral("Clear"), panel);
    btnClear->setToolTip(QStringLiteral("Clear Search filter"));
    row->addWidget(edtSearch);
    row->addWidget(btnSearch);
    row->addWidget(btnClear);

    connect(btnExit, &QToolButton::clicked, this, [this] { runGuarded([this] { btnExitClick(); }); });
    connect(btnImport, &QToolButton::clicked, this, [this] { runGuarded([this] { btnImportClick(); }); });
    connect(btnExport, &QToolButton::clicked, this, [this] { runGuarded([this] { btnExportClick(); }); });
    connect(btnHelp, &QToolButton::clicked, this, [this] { runGuarded([this] { btnHelpClick(); }); });
    connect(btnBarcodes, &QToolButton::clicked, this, [this] { runGuarded([this] { btnBarcodesClick(); }); });
    connect(btnSearch, &QPushButton::clicked, this, [this] { runGuarded([this] { btnSearchClick(); }); });
    connect(btnClear, &QPushButton::clicked, this, [this] { runGuarded([this] { btnClearClick(); }); });
    return panel;
}

QWidget* TMainForm::dataPage(DataGrid* grid, const QList<QWidget*>& buttons)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(grid, 1);
    auto* bottom = new QWidget(page);
    bottom->setFixedHeight(70);
    auto* row = new QHBoxLayout(bottom);
    row->setContentsMargins(10, 0, 10, 0);
    row->addStretch(1);
    for (QWidget* button : buttons) {
        button->setParent(bottom);
        button->setMinimumSize(130, 30);
        row->addWidget(button);
    }
    column->addWidget(bottom);
    return page;
}

QWidget* TMainForm::buildPages()
{
    PageControl = new QTabWidget(this);
    PageControl->tabBar()->setFont(tahoma(16, false));
    raceDBGrid = new DataGrid;
    athleteDBGrid = new DataGrid;
    recordDBGrid = new DataGrid;
    eventDBGrid = new DataGrid;
    pbDBGrid = new DataGrid;
    btnDelete = new QPushButton(QStringLiteral("Delete Race"));
    btnNewRace = new QPushButton(QStringLiteral("Add New Race"));
    btnNewAthlete = new QPushButton(QStringLiteral("Add New Athlete"));
    btnDeleteEvent = new QPushButton(QStringLiteral("Delete Event"));

    PageControl->addTab(dataPage(raceDBGrid, {btnDelete, btnNewRace}), QStringLiteral("Races"));
    PageControl->addTab(dataPage(athleteDBGrid, {btnNewAthlete}), QStringLiteral("Athletes"));
    PageControl->addTab(dataPage(recordDBGrid, {}), QStringLiteral("Records"));
    PageControl->addTab(dataPage(eventDBGrid, {btnDeleteEvent}), QStringLiteral("Events"));
    PageControl->addTab(dataPage(pbDBGrid, {}), QStringLiteral("P.Best"));

    auto* coms = new QWidget;
    auto* comsColumn = new QVBoxLayout(coms);
    comsColumn->setContentsMargins(0, 0, 0, 0);
    comsMemo = new QPlainTextEdit(coms);
    comsMemo->setReadOnly(true);
    comsMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    comsColumn->addWidget(comsMemo, 1);
    auto* bottom = new QWidget(coms);
    bottom->setFixedHeight(70);
    auto* row = new QHBoxLayout(bottom);
    row->setContentsMargins(10, 0, 10, 0);
    cbDualComPorts = new QCheckBox(QStringLiteral("Dual Com Ports"), bottom);
    btnComsSetupB = new QPushButton(QStringLiteral("Coms Setup (B)"), bottom);
    btnComsSetupB->setVisible(false);
    btnComsSetupA = new QPushButton(QStringLiteral("Coms Setup (A)"), bottom);
    btnProcessAgain = new QPushButton(QStringLiteral("Process Again..."), bottom);
    btnProcessAgain->setToolTip(QStringLiteral("Correct the last race text that could not be read, and read it again"));
    row->addWidget(cbDualComPorts);
    row->addStretch(1);
    row->addWidget(btnProcessAgain);
    row->addWidget(btnComsSetupB);
    row->addWidget(btnComsSetupA);
    comsColumn->addWidget(bottom);
    PageControl->addTab(coms, QStringLiteral("Coms"));

    connect(PageControl, &QTabWidget::currentChanged, this, [this] { runGuarded([this] { PageControlChange(); }); });
    connect(btnNewRace, &QPushButton::clicked, this, [this] { runGuarded([this] { btnNewRaceClick(); }); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { runGuarded([this] { btnDeleteClick(); }); });
    connect(btnNewAthlete, &QPushButton::clicked, this, [this] { runGuarded([this] { btnNewAthleteClick(); }); });
    connect(btnDeleteEvent, &QPushButton::clicked, this, [this] { runGuarded([this] { btnDeleteEventClick(); }); });
    connect(btnProcessAgain, &QPushButton::clicked, this, [this] { runGuarded([this] { btnProcessAgainClick(); }); });
    return PageControl;
}

QWidget* TMainForm::buildStatusPanel()
{
    auto* panel = new QWidget(this);
    panel->setFixedHeight(25);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 1, 6, 1);
    lbNotice = new QLabel(panel);
    row->addWidget(lbNotice, 1);
    noticeTimer = new QTimer(this);
    noticeTimer->setSingleShot(true);
    noticeTimer->setInterval(6000);
    connect(noticeTimer, &QTimer::timeout, lbNotice, &QLabel::clear);

    auto status = [&] {
        auto* label = new QLabel(QStringLiteral("NOT Connected"), panel);
        label->setAutoFillBackground(true);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(130);
        setStatusColour(label, QColor(255, 0, 0));
        return label;
    };
    lbConnectStatusB = new QLabel(QStringLiteral("B: "), panel);
    cbEnableB = new QCheckBox(panel);
    cbEnableB->setChecked(true);
    lbConnectStatus2 = status();
    Label1 = new QLabel(QStringLiteral("A: "), panel);
    cbEnableA = new QCheckBox(panel);
    cbEnableA->setChecked(true);
    lbConnectStatus = status();
    for (QWidget* w : {static_cast<QWidget*>(lbConnectStatusB), static_cast<QWidget*>(cbEnableB),
                       static_cast<QWidget*>(lbConnectStatus2)}) {
        row->addWidget(w);
        w->setVisible(false);
    }
    lbDatabaseStatus = status();
    lbDatabaseStatus->setText(QStringLiteral("Database: connected"));
    setStatusColour(lbDatabaseStatus, QColor(0, 255, 0));
    lbDatabaseStatus->setMinimumWidth(170);
    lbDatabaseStatus->setVisible(m_database->engine() == SqlEngine::PostgreSQL);
    row->addWidget(lbDatabaseStatus);
    row->addSpacing(16);
    row->addWidget(Label1);
    row->addWidget(cbEnableA);
    row->addWidget(lbConnectStatus);
    return panel;
}

void TMainForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    // Once the window has been painted, so that a box about a port that
    // cannot be opened stands over the program, not over nothing.
    QTimer::singleShot(0, this, [this] { runGuarded([this] { FormShow(); }); });
}

void TMainForm::FormShow()
{
    config.load();
    PageControl->setCurrentIndex(RacesPage);
    PageControlChange();
    edtSearch->setToolTip(QStringLiteral("Enter an age, gender, event, race number or search pattern"));
    startTimerUnitLinks();
}

void TMainForm::showStatusNotice(const QString& text)
{
    // One line: the panel keeps its height however long the notice is.
    lbNotice->setText(text.section(QLatin1Char('\n'), 0, 0));
    lbNotice->setToolTip(text);
    noticeTimer->start();
}

void TMainForm::btnExitClick()
{
    close();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // Closing the main window ends the program, by the Exit button, the
    // close box or the end of the desktop session. Every window's pending
    // edit is stored first; one that cannot be stored keeps the program
    // open with the edit, and the box says why. The settings are not saved.
    if (!runGuarded([this] { endPendingEdits(); })) {
        event->ignore();
        return;
    }
    // A race text still arriving is stored, not dropped.
    runGuarded([this] { flushWaitingTexts(); });
    event->accept();
    QCoreApplication::quit();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edtSearch && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty()) {
            QChar c = key->text()[0];
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                c = QLatin1Char('\r');
            runGuarded([&] { edtSearchKeyPress(c); });
            if (c.isNull())
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::refreshPages()
{
    // In the order the import leaves them: the reference data, then races.
    for (DataSet* table : {m_recordTable.get(), m_athleteTable.get(), m_raceTable.get(), m_eventTable.get(),
                           m_pbTable.get()})
        table->Refresh();
}

namespace {

// Stores a grid's open cell editor and its row in editing; what cannot be
// stored stays where it is, and the failure names the place.
void storePendingEdit(DataGrid& grid, const QString& place, const std::function<void()>& storeRow)
{
    QString refused = grid.storeCellEditor();
    if (refused.isEmpty()) {
        try {
            storeRow();
        } catch (const Exception& e) {
            refused = e.message();
        }
    }
    if (!refused.isEmpty())
        throw Exception(QStringLiteral("The edit %1 is not stored: %2\nCorrect it, or press Escape to drop it, "
                                       "then try again.")
                            .arg(place, refused));
}

} // namespace

void TMainForm::endPendingEdits()
{
    const std::pair<DataGrid*, const char*> pages[] = {{raceDBGrid, "Races"},
                                                       {athleteDBGrid, "Athletes"},
                                                       {recordDBGrid, "Records"},
                                                       {eventDBGrid, "Events"},
                                                       {pbDBGrid, "P.Best"}};
    for (const auto& [grid, page] : pages) {
        DataSet* table = grid->dataSet();
        storePendingEdit(*grid, QStringLiteral("on the %1 page").arg(QLatin1String(page)), [table] {
            if (table && table->Active())
                table->CheckBrowseMode();
        });
    }
    // Digits still in the race details window's cell editor count as its edit.
    if (TRaceDetailsForm* details = m_windows.raceDetailsForm)
        storePendingEdit(*details->resultDBGrid, QStringLiteral("in the race details window"),
                         [details] { details->storePendingEdit(); });
}

void TMainForm::openRace(int raceId, const QString& title)
{
    if (m_windows.raceDetailsForm)
        m_windows.raceDetailsForm->openForRace(raceId, title);
}

void TMainForm::btnImportClick()
{
    importTrackDataAction(this, *m_database, *m_query, [this] { refreshPages(); }, [this] { endPendingEdits(); });
}

void TMainForm::btnExportClick()
{
    exportResultsAction(this, *m_query, [this] { endPendingEdits(); });
}

void TMainForm::btnBarcodesClick()
{
    if (m_windows.bcodeForm)
        m_windows.bcodeForm->ShowForAthletes(*m_athleteTable);
}

void TMainForm::btnHelpClick()
{
    if (m_windows.helpDialog)
        m_windows.helpDialog->ShowHelp();
}
