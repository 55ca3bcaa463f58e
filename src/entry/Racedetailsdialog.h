#pragma once

#include <QByteArray>
#include <QColor>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class Database;
class DataGrid;
class DataSet;
class Query;
class QFrame;
class QLabel;
class QPushButton;
class TTimedErrorForm;
class TathleteSelectForm;

// The window in which officials attach athlete numbers to the timed places
// of one race, normally with a barcode reader that types the digits of a
// bib and then Enter. Each scan fills the current place and moves on to the
// next place that has a time; a number scanned twice in a row, and a scan
// after the last place was filled, are refused with a beep and the
// self-closing warning. A stored number that no athlete of the meet
// carries, or whose athlete does not fit the race or holds another place in
// it, is warned of the same way and its Number cell marked. An athlete can
// also be picked from the list (Tab or a double-click), a result added by
// hand, and the race marked completed.
//
// One window serves every race: it is created hidden at start-up, shown
// without blocking the main window, and hidden again by Close or Completed.
class TRaceDetailsForm : public QWidget {
    Q_OBJECT

public:
    // Statements run through query (the main window's Query1); the warning
    // and the selection dialog are the ones created at start-up.
    TRaceDetailsForm(Database& database, Query& query, TTimedErrorForm& timedError,
                     TathleteSelectForm& athleteSelect, QWidget* parent = nullptr);
    // Start-up creates the warning and the selection dialog after this
    // window, and hands them over once they exist.
    TRaceDetailsForm(Database& database, Query& query, QWidget* parent = nullptr);
    void setCompanions(TTimedErrorForm& timedError, TathleteSelectForm& athleteSelect);
    ~TRaceDetailsForm() override;

    // Shows the results of a race under the title given, and the window
    // itself; the show handling runs only when the window was hidden. Throws
    // what the dataset throws (a row in editing that cannot be stored), and
    // then nothing has changed.
    void openForRace(qint32 raceId, const QString& title);

    // Lets the official pick an athlete for the current result and moves on.
    void chooseAthlete();

    // Ends the edit of the race on show as a move to another row would: the
    // cell editor's text is written and the row stored. Throws when the row
    // cannot be stored, and the edit is then kept. Close, Completed, the
    // close box and the opening of another race run it first.
    void storePendingEdit();

    // The number that Add New Result continues from: the lane text from its
    // first digit on, the last character alone when no digit stands before
    // it, 0 for an empty lane. Throws EConvertError for a lane that gives no
    // whole number, such as CTK.
    static qint32 laneNumber(const QByteArray& lane);

    DataSet& resultTable() { return *m_resultTable; }

    // Another station stored something: the results on show are read again
    // by catchUpWithOtherStations as soon as no scan or edit is in progress
    // here, keeping the current row and column.
    void resultsChangedElsewhere() { m_behind = true; }
    void catchUpWithOtherStations();

    // A scan while the meet database cannot be reached is refused like a
    // repeat, with this warning; its number stays in its row, unsaved, and
    // no later scan replaces it unseen. It is stored when the connection is
    // back (databaseIsBack), or by the next Enter after that.
    static QString notStoredText() { return QStringLiteral("Not stored: no connection to the meet database"); }
    void databaseIsBack();
    bool holdsUnstoredScan() const { return m_unstoredNumber.has_value(); }

    // Called after Completed has marked the race, for the main window to
    // re-read its races.
    std::function<void()> racesChanged;

    QLabel* TitlePanel = nullptr;
    DataGrid* resultDBGrid = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* btnNewResult = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnCompleted = nullptr;

    // The race on show.
    qint32 raceId = 0;
    // The number the previous scan accepted; -1 from each showing until the
    // first scan, so that the first scan is never refused.
    qint32 lastNumber = -1;
    // The column whose title carries the sort mark; -1 for none. Kept from
    // one race to the next.
    int sortedColumn = -1;

    // Grid handlers.
    void resultDBGridKeyPress(QChar& key);
    bool resultDBGridEditRefused(int column, const QString& text);
    void resultDBGridKeyDown(int& key, Qt::KeyboardModifiers modifiers);
    void resultDBGridDblClick();
    std::optional<QColor> resultDBGridDrawColumnCell(int row, int column) const;
    void resultDBGridTitleClick(int column);

    // What the checks of a scan say of the number stored in a row of the
    // race on show; empty when nothing is wrong.
    QStringList scanReasons(int row) const;

public slots:
    void FormShow();
    void btnNewResultClick();
    void btnCompletedClick();
    void btnCloseClick();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    QWidget* buildBottomPanel();
    // Moves on from the current row past the places without a time.
    void passOverNoTime();
    // Beeps and shows the warning; the row gets back the athlete number it
    // has stored, and the next scan goes into it.
    void refuseScan(const QString& warning);
    // Beeps and shows what the checks found of the number just stored.
    void warnAboutScan(int row, qint32 number);
    // In a race that holds numbers, puts the cursor on the first place with
    // a time and no number, or on the last place when there is none; false
    // for a race without numbers, whose cursor stays.
    bool resumeAtFirstEmptyPlace();
    void restoreStoredNumber();
    // Re-reading the rows puts the grid's cursor in the first column; the
    // column the official works in stays selected.
    void keepSelectedColumn(const std::function<void()>& work);

    Query& m_query;
    TTimedErrorForm* m_timedError = nullptr;
    TathleteSelectForm* m_athleteSelect = nullptr;
    std::unique_ptr<DataSet> m_resultTable;
    bool m_behind = false;
    // A scan filled the last place and the cursor stayed on it: the next
    // scan would overwrite a confirmed result, so it is refused until the
    // official moves the cursor by hand (click, arrow key, Tab) or adds a
    // place.
    bool m_raceFull = false;
    // The scan kept unsaved while the database could not be reached.
    std::optional<qint32> m_unstoredNumber;
    // Stores the scanned row and moves on; false, with the warning, when
    // the database cannot be reached and the number stays unsaved.
    bool completeScan(qint32 number);
};
