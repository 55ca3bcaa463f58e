#include "entry/Racedetailsdialog.h"

#include "browse/ColumnSort.h"
#include "entry/Athleteselectdialog.h"
#include "entry/ColourRules.h"
#include "entry/ScanChecks.h"
#include "entry/Timederror.h"
#include "shell/Application.h"
#include "shell/DataGrid.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"
#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Race.h"
#include "store/Result.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QSize clientSize(962, 473);
constexpr int titlePanelHeight = 41;
constexpr int bottomPanelHeight = 80;
// A result added by hand gets this performance until someone types the time.
constexpr double addedResultValue = 88.0;

const QByteArray numberField = "athlete_number";
const QByteArray valueField = "value";

// A read longer than this is cut short in the warning.
constexpr int shownReadLength = 20;

const QList<SortableColumn>& sortableColumns()
{
    static const QList<SortableColumn> sortable{
        {QStringLiteral("*Result ID"), "PrimaryKey"},
        {QStringLiteral("*Performance"), "Value"},
        {QStringLiteral("*Lane"), "Lane"},
    };
    return sortable;
}

QFont tahoma(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* legendLabel(const QString& text, const QColor& background, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(tahoma(13));
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
    label->setContentsMargins(6, 2, 6, 2);
    return label;
}

std::optional<qint32> optionalInteger(const QVariant& v)
{
    return v.isNull() ? std::nullopt : std::optional<qint32>(v.toInt());
}

std::optional<double> optionalFloat(const QVariant& v)
{
    return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble());
}

} // namespace

TRaceDetailsForm::TRaceDetailsForm(Database& database, Query& query, TTimedErrorForm& timedError,
                                   TathleteSelectForm& athleteSelect, QWidget* parent)
    : TRaceDetailsForm(database, query, parent)
{
    setCompanions(timedError, athleteSelect);
}

void TRaceDetailsForm::setCompanions(TTimedErrorForm& timedError, TathleteSelectForm& athleteSelect)
{
    m_timedError = &timedError;
    m_athleteSelect = &athleteSelect;
}

TRaceDetailsForm::TRaceDetailsForm(Database& database, Query& query, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_query(query)
    , m_resultTable(std::make_unique<DataSet>(database, "result"))
{
    setWindowTitle(QStringLiteral("Race Details - Use Barcode Reader to scan athlete numbers"));
    setFont(tahoma(11));
    resize(clientSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), clientSize);
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    // The personal best is found through the athlete and the race's event,
    // the record through the athlete's own age and gender with that event.
    DataSet& results = *m_resultTable;
    results.setIndexName("PrimaryKey");
    // A scan kept unsaved ends when its row is stored or dropped (Escape).
    connect(&results, &DataSet::stateChanged, this, [this] {
        if (m_resultTable->state() == DataSet::State::Browse)
            m_unstoredNumber.reset();
    });
    results.addLookupField({"aname", FieldKind::Text, "athlete_number", "athletes", "number", "firstname"});
    results.addLookupField({"bname", FieldKind::Text, "athlete_number", "athletes", "number", "surname"});
    results.addLookupField({"cage", FieldKind::Integer, "athlete_number", "athletes", "number", "age"});
    results.addLookupField({"event", FieldKind::Text, "race_id_pk", "races", "race_id_pk", "event"});
    results.addLookupField({"dpb", FieldKind::Float, "athlete_number;event", "pb", "athlete_number;event", "value"});
    results.addLookupField({"fgender", FieldKind::Text, "athlete_number", "athletes", "number", "gender"});
    results.addLookupField({"grecord", FieldKind::Float, "cage;event;fgender", "record", "age;event;gender", "value"});
    // For the checks of a scan: whether an athlete carries the number, and
    // the race's age group.
    results.addLookupField({"anumber", FieldKind::Integer, "athlete_number", "athletes", "number", "number"});
    results.addLookupField({"rgender", FieldKind::Text, "race_id_pk", "races", "race_id_pk", "gender"});
    results.addLookupField({"rage", FieldKind::Integer, "race_id_pk", "races", "race_id_pk", "age"});

    buildControls();
}

TRaceDetailsForm::~TRaceDetailsForm()
{
    // The grid lets go of the table before the table goes, and runs none of
    // this window's handlers on the way (closing a focused cell editor
    // passes the grid a Tab).
    resultDBGrid->keyPress = nullptr;
    resultDBGrid->keyDown = nullptr;
    resultDBGrid->editRefused = nullptr;
    resultDBGrid->dblClick = nullptr;
    resultDBGrid->drawColumnCell = nullptr;
    resultDBGrid->titleClick = nullptr;
    resultDBGrid->setDataSet(nullptr, {});
}

void TRaceDetailsForm::buildControls()
{
    TitlePanel = new QLabel(this);
    TitlePanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    TitlePanel->setFixedHeight(titlePanelHeight);
    TitlePanel->setAlignment(Qt::AlignCenter);
    TitlePanel->setFont(tahoma(19));

    resultDBGrid = new DataGrid(this);
    resultDBGrid->setFont(tahoma(16));
    resultDBGrid->horizontalHeader()->setFont(tahoma(16));
    resultDBGrid->verticalHeader()->setDefaultSectionSize(resultDBGrid->fontMetrics().height() + 6);
    resultDBGrid->verticalHeader()->setFixedWidth(resultDBGrid->fontMetrics().horizontalAdvance(QLatin1Char('W')) + 10);

    // Light 3D grey everywhere but in the Number column, where the scans go.
    const QPalette colours = QApplication::palette();
    const QColor grey = colours.color(QPalette::Midlight);
    const QColor window = colours.color(QPalette::Base);
    QList<GridColumn> columns{
        {"result_id_pk", QStringLiteral("*Result ID"), 0, Qt::AlignCenter, {}, true, grey},
        {"place", QStringLiteral("ID"), 0, Qt::AlignCenter, {}, false, grey},
        {"value", QStringLiteral("*Performance"), 0, Qt::AlignCenter, {}, false, grey},
        {"lane", QStringLiteral("*Lane"), 0, Qt::AlignCenter, {}, false, grey, true},
        {"athlete_number", QStringLiteral("Number"), 86, Qt::AlignCenter, {}, false, window},
        {"aname", QStringLiteral("First Name"), 150, Qt::AlignLeft, {}, false, grey},
        {"bname", QStringLiteral("Surname"), 150, Qt::AlignLeft, {}, false, grey},
        {"cage", QStringLiteral("Age"), 46, Qt::AlignCenter, {}, false, grey},
        {"dpb", QStringLiteral("PB"), 0, Qt::AlignCenter, {}, true, grey},
        {"grecord", QStringLiteral("Record"), 0, Qt::AlignCenter, {}, true, grey},
    };
    // The other columns are as wide as their titles, and never narrower
    // than a time.
    const QFontMetrics titleMetrics(tahoma(16));
    const int timeWidth = titleMetrics.horizontalAdvance(QStringLiteral("99999")) + 12;
    for (GridColumn& column : columns)
        if (column.width == 0)
            column.width = std::max(timeWidth, titleMetrics.horizontalAdvance(column.title) + 16);
    resultDBGrid->setDataSet(m_resultTable.get(), columns);

    // A scan goes to the Number column whichever cell is selected, so that
    // it never lands in a time, lane or place; those are corrected with
    // Enter or F2 first.
    resultDBGrid->setEntryField(numberField);
    resultDBGrid->keyPress = [this](QChar& key) { resultDBGridKeyPress(key); };
    resultDBGrid->editRefused = [this](int column, const QString& text, const QString&) {
        return resultDBGridEditRefused(column, text);
    };
    resultDBGrid->keyDown = [this](int& key, Qt::KeyboardModifiers modifiers) { resultDBGridKeyDown(key, modifiers); };
    resultDBGrid->dblClick = [this] { resultDBGridDblClick(); };
    resultDBGrid->drawColumnCell = [this](int row, int column) { return resultDBGridDrawColumnCell(row, column); };
    resultDBGrid->titleClick = [this](int column) { resultDBGridTitleClick(column); };
    // A click on a row is a move by hand, even on the row the cursor is on.
    resultDBGrid->viewport()->installEventFilter(this);
    resultDBGrid->verticalHeader()->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(TitlePanel);
    layout->addWidget(resultDBGrid, 1);
    layout->addWidget(buildBottomPanel());
}

QWidget* TRaceDetailsForm::buildBottomPanel()
{
    Panel1 = new QFrame(this);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFixedHeight(bottomPanelHeight);

    Label1 = legendLabel(QStringLiteral("P.Best=Yellow"), ColourRules::yellow(), Panel1);
    Label2 = legendLabel(QStringLiteral("Record=Red"), ColourRules::red(), Panel1);
    btnNewResult = new QPushButton(QStringLiteral("Add New Result"), Panel1);
    btnNewResult->setFont(tahoma(13, true));
    btnClose = new QPushButton(QStringLiteral("Close"), Panel1);
    btnClose->setFont(tahoma(13));
    btnCompleted = new QPushButton(QStringLiteral("Completed"), Panel1);
    btnCompleted->setFont(tahoma(13));
    for (QPushButton* button : {btnNewResult, btnClose, btnCompleted})
        button->setMinimumSize(110, 30);

    auto* legend = new QVBoxLayout;
    legend->addWidget(Label1);
    legend->addWidget(Label2);

    auto* row = new QHBoxLayout(Panel1);
    row->setContentsMargins(12, 6, 12, 6);
    row->addLayout(legend);
    row->addStretch(1);
    row->addWidget(btnNewResult);
    row->addStretch(1);
    row->addWidget(btnClose);
    row->addWidget(btnCompleted);

    connect(btnNewResult, &QPushButton::clicked, this, &TRaceDetailsForm::btnNewResultClick);
    connect(btnClose, &QPushButton::clicked, this, &TRaceDetailsForm::btnCloseClick);
    connect(btnCompleted, &QPushButton::clicked, this, &TRaceDetailsForm::btnCompletedClick);
    return Panel1;
}

void TRaceDetailsForm::openForRace(qint32 id, const QString& title)
{
    // The rows change first: should the row in editing fail to store, title
    // and race id still name the race whose rows are shown.
    keepSelectedColumn([&] {
        DataSet& results = *m_resultTable;
        results.setFilter(QStringLiteral("race_id_pk = ") + QString::number(id));
        if (!results.Filtered())
            results.setFiltered(true);
    });
    TitlePanel->setText(title);
    raceId = id;
    m_raceFull = false;
    if (isVisible()) {
        // No show handling here, so a race holding numbers is resumed now,
        // the one on show asked for again as well: its next scan must not
        // replace place 1.
        resumeAtFirstEmptyPlace();
        setWindowState(windowState() & ~Qt::WindowMinimized);
        raise();
        activateWindow();
        return;
    }
    show();
}

void TRaceDetailsForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TRaceDetailsForm::FormShow()
{
    runGuarded([this] {
        DataSet& results = *m_resultTable;
        if (!results.Active())
            results.Open();
        resultDBGrid->setFocus();
        m_raceFull = false;
        if (!resumeAtFirstEmptyPlace())
            passOverNoTime();
        resultDBGrid->setSelectedField(numberField);
    });
    lastNumber = -1;
}

void TRaceDetailsForm::passOverNoTime()
{
    DataSet& results = *m_resultTable;
    while (!results.Eof() && results.FieldByName(valueField).AsFloat() == RESULT::noTime)
        results.Next();
}

bool TRaceDetailsForm::resumeAtFirstEmptyPlace()
{
    DataSet& results = *m_resultTable;
    if (!results.Active())
        return false;
    const int numberAt = results.fieldIndex(numberField);
    const int valueAt = results.fieldIndex(valueField);
    bool numbered = false;
    int firstEmpty = -1;
    for (int row = 0; row < results.RecordCount(); ++row) {
        if (results.value(row, numberAt).toInt() != 0)
            numbered = true;
        else if (firstEmpty < 0 && results.value(row, valueAt).toDouble() != RESULT::noTime)
            firstEmpty = row;
    }
    if (!numbered)
        return false;
    if (firstEmpty >= 0) {
        results.moveTo(firstEmpty);
    } else {
        results.Last();
        m_raceFull = true;
    }
    return true;
}

void TRaceDetailsForm::resultDBGridKeyPress(QChar& key)
{
    if (key != QLatin1Char('\r'))
        return;
    DataSet& results = *m_resultTable;
    if (resultDBGrid->selectedField() == numberField) {
        // Enter in the Number column ends a scan; the grid does not go on
        // to open the cell editor.
        key = QChar();
        const qint32 number = results.FieldByName(numberField).AsInteger();
        if (m_unstoredNumber) {
            // The number that waits unsaved keeps its place: a later read
            // is put aside and the official told to scan it again.
            const qint32 kept = *m_unstoredNumber;
            if (number != kept)
                results.setFieldValue(results.fieldIndex(numberField), kept);
            if (completeScan(kept) && number != kept) {
                UiServices::current().beep();
                if (m_timedError)
                    m_timedError->showWarning(QStringLiteral("Scan %1 again: this place took %2, which waited for "
                                                             "the meet database")
                                                  .arg(number)
                                                  .arg(kept),
                                              this);
            }
            return;
        }
        if (number == lastNumber) {
            refuseScan(TTimedErrorForm::sameNumberText());
            return;
        }
        if (m_raceFull) {
            refuseScan(ScanChecks::noPlaceLeftText());
            return;
        }
        completeScan(number);
        return;
    }
    // A time, lane or place corrected by hand is stored by its Enter, as a
    // move would store it: what the grid shows is what the results file
    // gets.
    if (results.Active() && results.state() != DataSet::State::Browse)
        results.CheckBrowseMode();
    if (resultDBGrid->selectedField() == valueField)
        resultDBGrid->setSelectedField(numberField);
}

bool TRaceDetailsForm::completeScan(qint32 number)
{
    DataSet& results = *m_resultTable;
    // Moving on stores the row; the last row is stored and keeps the
    // cursor. A number the store refuses is not taken as the previous
    // scan.
    const int row = results.RecNo();
    try {
        results.CheckBrowseMode();
    } catch (const EConnectionLost&) {
        m_unstoredNumber = number;
        UiServices::current().beep();
        if (m_timedError)
            m_timedError->showWarning(notStoredText(), this);
        resultDBGrid->setSelectedField(numberField);
        return false;
    }
    m_unstoredNumber.reset();
    results.Next();
    lastNumber = number;
    passOverNoTime();
    m_raceFull = row >= 0 && results.RecNo() == row;
    resultDBGrid->setSelectedField(numberField);
    warnAboutScan(row, number);
    return true;
}

void TRaceDetailsForm::databaseIsBack()
{
    DataSet& results = *m_resultTable;
    if (!m_unstoredNumber || !results.Active() || results.state() == DataSet::State::Browse) {
        m_unstoredNumber.reset();
        return;
    }
    completeScan(*m_unstoredNumber);
}

QStringList TRaceDetailsForm::scanReasons(int row) const
{
    const DataSet& results = *m_resultTable;
    if (!results.Active() || row < 0 || row >= results.RecordCount())
        return {};
    const auto at = [&](int r, const QByteArray& field) { return results.value(r, results.fieldIndex(field)); };
    const qint32 number = at(row, numberField).toInt();
    if (number == 0)
        return {};
    ScanChecks::Athlete athlete;
    athlete.known = !at(row, "anumber").isNull();
    athlete.gender = at(row, "fgender").toByteArray();
    athlete.age = optionalInteger(at(row, "cage"));
    const ScanChecks::RaceGroup race{at(row, "rgender").toByteArray(), at(row, "rage").toInt()};
    QList<QByteArray> otherPlaces;
    for (int other = 0; other < results.RecordCount(); ++other)
        if (other != row && at(other, numberField).toInt() == number)
            otherPlaces << at(other, "place").toByteArray();
    return ScanChecks::reasons(number, athlete, race, otherPlaces);
}

void TRaceDetailsForm::warnAboutScan(int row, qint32 number)
{
    const QStringList reasons = scanReasons(row);
    if (reasons.isEmpty())
        return;
    UiServices::current().beep();
    if (m_timedError)
        m_timedError->showWarning(ScanChecks::warning(number, reasons), this);
}

bool TRaceDetailsForm::resultDBGridEditRefused(int column, const QString& text)
{
    if (column != resultDBGrid->columnOf(numberField))
        return false; // a time or lane typed by hand: the error box says why
    // A read that is no athlete number is refused like a repeat: a box here
    // would be dismissed unread by the Enter of the next scan.
    const QString read = text.size() > shownReadLength ? text.left(shownReadLength) + QStringLiteral("...") : text;
    refuseScan(QStringLiteral("\"%1\" is not an athlete number!").arg(read));
    return true;
}

void TRaceDetailsForm::refuseScan(const QString& warning)
{
    UiServices::current().beep();
    if (m_timedError)
        m_timedError->showWarning(warning, this);
    // Nothing of the refused scan stays in the row, so no later move can
    // store it; passing over a place without a time then stores nothing.
    restoreStoredNumber();
    passOverNoTime();
    resultDBGrid->setSelectedField(numberField);
}

void TRaceDetailsForm::restoreStoredNumber()
{
    DataSet& results = *m_resultTable;
    if (results.state() != DataSet::State::Edit)
        return;
    // Cancel takes the whole row back to what is stored; a time, lane or
    // place corrected by hand and not stored yet is put back.
    QList<std::pair<int, QVariant>> corrected;
    const int row = results.RecNo();
    for (int f = 0; f < results.fields().size(); ++f) {
        const DataSetField& field = results.fields()[f];
        if (!field.lookup && field.kind != FieldKind::AutoIncrement && field.name != numberField)
            corrected.append({f, results.value(row, f)});
    }
    results.Cancel();
    for (const auto& [field, value] : corrected)
        if (results.value(row, field) != value)
            results.setFieldValue(field, value);
}

void TRaceDetailsForm::storePendingEdit()
{
    resultDBGrid->writeCellEditor(); // a refused text has been answered
    if (m_resultTable->Active())
        m_resultTable->CheckBrowseMode();
}

void TRaceDetailsForm::catchUpWithOtherStations()
{
    DataSet& results = *m_resultTable;
    // A hidden window reads its rows afresh when it opens for a race.
    if (!isVisible() || !results.Active()) {
        m_behind = false;
        return;
    }
    // Digits of a scan being typed, or a row not yet stored, wait.
    if (!m_behind || resultDBGrid->isEditing() || results.state() != DataSet::State::Browse)
        return;
    keepSelectedColumn([&] { results.Refresh(); });
    m_behind = false;
}

void TRaceDetailsForm::resultDBGridKeyDown(int& key, Qt::KeyboardModifiers)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        m_raceFull = false; // the official chose the place by hand
        break;
    default:
        break;
    }
    if (key != Qt::Key_Tab)
        return;
    key = 0; // Tab never moves between columns here
    chooseAthlete();
}

void TRaceDetailsForm::resultDBGridDblClick()
{
    chooseAthlete();
}

void TRaceDetailsForm::chooseAthlete()
{
    DataSet& results = *m_resultTable;
    // A race without results has no place to put the athlete in; editing
    // it would add a result that belongs to no race.
    if (!results.Active() || results.IsEmpty())
        return;
    // Digits typed before Tab are not meant: Cancel leaves the row as it
    // was, and a pick replaces them.
    resultDBGrid->discardCellEditor();
    if (!m_athleteSelect || !m_athleteSelect->ShowModal())
        return;
    results.Edit();
    results.setFieldValue(numberField, m_athleteSelect->selectedNumber);
    results.CheckBrowseMode();
    results.Next();
    resultDBGrid->setSelectedField(numberField);
}

qint32 TRaceDetailsForm::laneNumber(const QByteArray& lane)
{
    if (lane.isEmpty())
        return 0;
    qsizetype firstDigit = -1;
    for (qsizetype i = 0; i + 1 < lane.size(); ++i) {
        if (lane[i] >= '0' && lane[i] <= '9') {
            firstDigit = i;
            break;
        }
    }
    const QByteArray digits = firstDigit < 0 ? lane.right(1) : lane.mid(firstDigit);
    try {
        return Miscl::toInteger(digits);
    } catch (const EConvertError& e) {
        throw EConvertError(QStringLiteral("No result was added: the last result's lane '%1' gives no number to "
                                           "continue from (%2)")
                                .arg(QString::fromUtf8(lane), e.message()));
    }
}

void TRaceDetailsForm::btnNewResultClick()
{
    runGuarded([this] {
        keepSelectedColumn([this] {
            DataSet& results = *m_resultTable;
            if (!results.Active())
                results.Open();
            results.setIndexName("PrimaryKey"); // refreshes
            results.Last();
            RESULT result;
            qint64 number = 0;
            if (results.IsEmpty()) {
                // The first result of a race: tied to the race on show.
                result.race_id_pk = raceId;
            } else {
                result.fromDataSet(results);
                number = laneNumber(result.lane);
            }
            const QByteArray next = Miscl::integerText(number + 1);
            result.setLane("X" + next);
            result.setPlace(next);
            result.value = addedResultValue;
            result.athlete_number = 0;
            result.result_id_pk = 0;
            result.store(m_query);
            results.Refresh();
            results.Last();
            m_raceFull = false;
        });
        // The rows are in Result ID order now, whichever title was marked.
        markIndexInForce(*resultDBGrid, sortableColumns(), sortedColumn);
    });
}

void TRaceDetailsForm::btnCompletedClick()
{
    runGuarded([this] {
        storePendingEdit();
        RACE::markCompleted(m_query, raceId);
        if (racesChanged)
            racesChanged();
        hide();
    });
}

void TRaceDetailsForm::btnCloseClick()
{
    if (runGuarded([this] { storePendingEdit(); }))
        hide();
}

bool TRaceDetailsForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress)
        m_raceFull = false;
    return QWidget::eventFilter(watched, event);
}

void TRaceDetailsForm::closeEvent(QCloseEvent* event)
{
    // The close box, like Close, stores the edit first; a row that cannot
    // be stored keeps the window open with the edit, and the error says why.
    if (!runGuarded([this] { storePendingEdit(); })) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

std::optional<QColor> TRaceDetailsForm::resultDBGridDrawColumnCell(int row, int column) const
{
    const QList<GridColumn>& columns = resultDBGrid->gridModel().columns();
    if (column < 0 || column >= columns.size())
        return std::nullopt;
    // A number the checks of a scan found wrong stays marked until it is
    // changed or put right in the meet's data.
    if (columns[column].field == numberField)
        return scanReasons(row).isEmpty() ? std::nullopt : std::optional<QColor>(ColourRules::orange());
    return ColourRules::performanceColour(optionalInteger(resultDBGrid->cellValue(row, numberField)),
                                          columns[column].field,
                                          optionalFloat(resultDBGrid->cellValue(row, valueField)),
                                          optionalFloat(resultDBGrid->cellValue(row, "dpb")),
                                          optionalFloat(resultDBGrid->cellValue(row, "grecord")));
}

void TRaceDetailsForm::resultDBGridTitleClick(int column)
{
    keepSelectedColumn([&] { sortByTitle(*resultDBGrid, sortableColumns(), sortedColumn, column); });
}

void TRaceDetailsForm::keepSelectedColumn(const std::function<void()>& work)
{
    // The edit of the rows on show is stored before they are read again, in
    // its own race and place.
    storePendingEdit();
    const QByteArray field = resultDBGrid->currentIndex().isValid() ? resultDBGrid->selectedField() : numberField;
    try {
        work();
    } catch (...) {
        resultDBGrid->setSelectedField(field);
        throw;
    }
    resultDBGrid->setSelectedField(field);
}

