#pragma once

#include "link/RaceFraming.h"
#include "link/RaceJournal.h"
#include "shell/Config.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QRecursiveMutex>
#include <QWidget>

#include <array>
#include <memory>

class ChangeWatch;
class DataGrid;
class DataSet;
class Database;
class DatabaseLink;
class Query;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class QToolButton;
class TComPort;
struct AppWindows;

// Where the main window keeps its database and reads its settings: the
// executable's folder and the settings file named after the executable.
struct MainFormPlaces {
    QString databaseFolder;
    QString settingsFile;
    QString programFolder; // where the help pages are

    static MainFormPlaces ofExecutable();
};

// The main window: the tool panel, the six pages over the data store's
// tables and the Coms log, and the status panel of the timer unit links.
// It owns the connection to the data store, its tables, the query object
// through which every statement runs, and its copy of the settings.
class TMainForm : public QWidget {
    Q_OBJECT

    // Declared first: the database and its tables exist before the settings
    // are read, as the window's components come before its own members.
    AppWindows& m_windows;
    std::unique_ptr<Database> m_database;
    std::unique_ptr<Query> m_query;
    std::unique_ptr<DataSet> m_raceTable;
    std::unique_ptr<DataSet> m_athleteTable;
    std::unique_ptr<DataSet> m_recordTable;
    std::unique_ptr<DataSet> m_eventTable;
    std::unique_ptr<DataSet> m_pbTable;

public:
    // Connects to the database and opens the five tables; reads and writes
    // back the settings file. Throws when either cannot be used.
    TMainForm(const MainFormPlaces& places, AppWindows& windows, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Pages by index, as the page control holds them.
    enum Page { RacesPage, AthletesPage, RecordsPage, EventsPage, PBestPage, ComsPage };

    Database& database() { return *m_database; }
    Query& Query1() { return *m_query; }
    CONFIG config;

    // The data pages' tables.
    DataSet& RaceTable() { return *m_raceTable; }
    DataSet& AthleteTable() { return *m_athleteTable; }
    DataSet& RecordTable() { return *m_recordTable; }
    DataSet& EventTable() { return *m_eventTable; }
    DataSet& PBTable() { return *m_pbTable; }
    DataSet& tableOfPage(int page);

    // The search text last applied on each data page.
    std::array<QByteArray, 5> searchText;

    // What ports A and B received and not yet handed out as race texts.
    RaceFraming rxDataA;
    RaceFraming rxDataB;
    QRecursiveMutex rxSection;
    // Every race text handled, in VEXO_COMS.log beside the settings file.
    RaceJournal raceJournal;
    // The last race text that could not be read, as it came; "Process
    // Again..." offers it for mending.
    QByteArray lastRefusedText;
    bool portOpenA = false;
    bool portOpenB = false;
    // The timer unit links, created after the settings; closed (A, then B)
    // before anything they deliver into goes.
    std::unique_ptr<TComPort> comPortA;
    std::unique_ptr<TComPort> comPortB;

    // Controls, by the names the system's handlers use.
    QToolButton* btnExit = nullptr;
    QToolButton* btnImport = nullptr;
    QToolButton* btnExport = nullptr;
    QToolButton* btnHelp = nullptr;
    QToolButton* btnBarcodes = nullptr;
    QLineEdit* edtSearch = nullptr;
    QPushButton* btnSearch = nullptr;
    QPushButton* btnClear = nullptr;
    QTabWidget* PageControl = nullptr;
    DataGrid* raceDBGrid = nullptr;
    DataGrid* athleteDBGrid = nullptr;
    DataGrid* recordDBGrid = nullptr;
    DataGrid* eventDBGrid = nullptr;
    DataGrid* pbDBGrid = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnNewRace = nullptr;
    QPushButton* btnNewAthlete = nullptr;
    QPushButton* btnDeleteEvent = nullptr;
    QPlainTextEdit* comsMemo = nullptr;
    QCheckBox* cbDualComPorts = nullptr;
    QPushButton* btnComsSetupA = nullptr;
    QPushButton* btnComsSetupB = nullptr;
    QPushButton* btnProcessAgain = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* cbEnableA = nullptr;
    QLabel* lbConnectStatus = nullptr;
    QLabel* lbConnectStatusB = nullptr;
    QCheckBox* cbEnableB = nullptr;
    QLabel* lbConnectStatus2 = nullptr;
    // The status panel's word on what a big step did, cleared by noticeTimer.
    QLabel* lbNotice = nullptr;
    QTimer* noticeTimer = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* rxDataTimer1 = nullptr;
    QTimer* rxDataTimer2 = nullptr;
    // How long a port's link must stay quiet after a line end before its
    // text counts as complete; tests lengthen it to fire the timers by hand.
    int rxQuietIntervalMs = 2000;

    // The column marked as the athletes grid's order, -1 for none.
    int athleteSortedColumn = -1;

    // Handlers.
    void FormShow();
    void btnExitClick();
    void btnSearchClick();
    void edtSearchKeyPress(QChar& key);
    void btnClearClick();
    void PageControlChange();
    void athleteDBGridTitleClick(int column);
    void raceDBGridDblClick();
    void btnNewRaceClick();
    void btnDeleteClick();
    void btnNewAthleteClick();
    void btnDeleteEventClick();
    void btnImportClick();
    void btnExportClick();
    void btnBarcodesClick();
    void btnHelpClick();

    // The timer unit links: reception (link/MainFormReception.cpp) and
    // port management (link/MainFormPorts.cpp). n is 1 for port A, 2 for B.
    void PortARxChar(QObject* Sender, int Count);
    void PortBRxChar(QObject* Sender, int Count);
    void rxDataTimer1Timer();
    void rxDataTimer2Timer();
    // Journals, logs and stores one race text; source is "A" or "B" for a
    // port, "hand" for a text given by "Process Again...". A text that
    // cannot be read is shown in an error box.
    void ProcessRaceData(const QByteArray& text, const QString& source);
    void btnProcessAgainClick();
    // On a clean exit: a text still waiting for its line end or for the
    // quiet time is journalled and processed like any other, not dropped.
    void flushWaitingTexts();
    void ApplyPortSettings(int n);
    void ShowConnectStatus(int n, bool connected);
    void ShowDisabledStatus(int n);
    void CheckPort(TComPort& port, bool& flag, int n, bool bluetooth, bool enabled);
    void Timer1Timer();
    void btnComsSetupAClick();
    void btnComsSetupBClick();
    void cbDualComPortsClick();

    // The connection to the meet's server: reopened by itself when lost,
    // its state shown beside the ports ("Database: connected" on green,
    // "Database: lost, retrying" on red with the server's word as hint),
    // with one box for an outage. Hidden on a file, which is never lost.
    DatabaseLink* databaseLink = nullptr;
    QLabel* lbDatabaseStatus = nullptr;
    void ShowDatabaseStatus();
    // Race texts that arrived while the database could not be reached,
    // stored in arrival order once it is back.
    int racesWaitingForDatabase() const { return int(m_racesWaitingForDatabase.size()); }

    // Shows what other stations on the meet stored: when the watch saw a
    // change, each page, and the race details window, reads its rows again
    // as soon as no edit is open in it, keeping its current row. Run every
    // second by changeTimer.
    void watchOtherStations();
    QTimer* changeTimer = nullptr;

    // The text of the race template that "Add New Race" stores.
    static const QByteArray raceTemplate;
    // "Race 999 - U99  100M, 09/12/2026, 10:35" for the race of the
    // current row of the races table.
    QString raceTitle() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    QWidget* buildToolPanel();
    QWidget* buildPages();
    QWidget* buildStatusPanel();
    QWidget* dataPage(DataGrid* grid, const QList<QWidget*>& buttons);
    void bindGrids();
    void refreshPages();
    void startTimerUnitLinks();
    void readDeviceSettings(const QString& settingsFile);
    void connectTimerUnitLinks();
    void receiveChunk(TComPort& port, RaceFraming& framing, QTimer* quietTimer, const QString& source, int count);
    void armQuietTimer(const RaceFraming& framing, QTimer* quietTimer, qint64 now);
    void queueRaceTexts(const QList<QByteArray>& texts, const QString& source);
    void processWaitingTexts();
    void showReceptionError(const QString& message);
    struct RaceWaiting {
        QByteArray text;
        QString source;
        QString journalId; // the journal's entry of its arrival
        QDateTime arrived;
    };
    void storeRace(const QByteArray& text, const QString& source, const RaceWaiting* waited);
    void storeRacesThatWaited();
    void databaseIsBack();
    void comsSetupClick(int n);
    void openRace(int raceId, const QString& title);
    // Stores every window's pending edit, an open cell editor's text
    // included; raises, naming the page, when one cannot be stored, and
    // keeps it for correction.
    void endPendingEdits();
    void showStatusNotice(const QString& text);
    void startWatchingOtherStations();
    // Reads the page's rows again unless an edit is open in it; false when
    // it has to wait.
    bool catchUpWithOtherStations(DataSet& table, DataGrid& grid);

    bool m_shownOnce = false;
    // The clock the framing of both ports reads.
    QElapsedTimer m_rxClock;
    // Race texts complete and not yet processed, with their source.
    QList<std::pair<QByteArray, QString>> m_waitingTexts;
    ChangeWatch* m_changeWatch = nullptr;
    QList<RaceWaiting> m_racesWaitingForDatabase;
    // Whether the outage now going on has been told in a box.
    bool m_outageTold = false;
    // The pages that have not yet shown what other stations stored.
    QList<DataSet*> m_pagesBehind;
};
