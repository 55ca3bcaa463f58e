// The operations on races, athletes and events of the main window's pages,
// and what other stations on the meet store shown on them.

#include "shell/Main.h"

#include "entry/Racedetailsdialog.h"
#include "shell/AppWindows.h"
#include "shell/DataGrid.h"
#include "store/ChangeWatch.h"
#include "store/DataSet.h"
#include "store/Exception.h"
#include "store/DateTime.h"
#include "store/Race.h"
#include "store/RaceText.h"

#include <QTimer>

const QByteArray TMainForm::raceTemplate =
    "00:00,01/01/00,999,LANE,U99,100M,,,1,88,B01,2,88,B02,3,88,B03,4,88,B04,5,88,B05,6,88,B06,"
    "7,88,B07,8,88,B08,9,88,B09,10,88,B10,11,88,B11,12,88,B12,\r\n";

QString TMainForm::raceTitle() const
{
    RACE race;
    race.fromDataSet(*m_raceTable);
    return QStringLiteral("Race %1 - U%2 %3 %4, %5")
        .arg(race.number)
        .arg(race.age)
        .arg(QString::fromUtf8(race.gender), QString::fromUtf8(race.event),
             DayCount::toDateTime(race.datetime).toString(QStringLiteral("dd/MM/yyyy, HH:mm")));
}

void TMainForm::raceDBGridDblClick()
{
    // An empty list has no race to open; a race of id 0 would take results
    // that belong to no race.
    if (!m_raceTable->Active() || m_raceTable->IsEmpty())
        return;
    RACE race;
    race.fromDataSet(*m_raceTable);
    openRace(race.race_id_pk, raceTitle());
}

void TMainForm::btnNewRaceClick()
{
    try {
        storeRaceText(raceTemplate, *m_query);
    } catch (...) {
        // What was stored before the failure shows in the list.
        m_raceTable->Refresh();
        throw;
    }
    m_raceTable->Refresh();
    m_raceTable->Last();
}

void TMainForm::btnDeleteClick()
{
    if (m_raceTable->Active())
        raceDBGrid->deleteCurrentRow();
}

void TMainForm::btnDeleteEventClick()
{
    if (m_eventTable->Active())
        eventDBGrid->deleteCurrentRow();
}

void TMainForm::btnNewAthleteClick()
{
    if (!m_athleteTable->Active())
        return;
    m_athleteTable->Insert();
    athleteDBGrid->setFocus();
}

void TMainForm::startWatchingOtherStations()
{
    m_changeWatch = new ChangeWatch(*m_database, this);
    changeTimer = new QTimer(this);
    changeTimer->setInterval(1000);
    connect(changeTimer, &QTimer::timeout, this, &TMainForm::watchOtherStations);
    changeTimer->start();
}

void TMainForm::watchOtherStations()
{
    const std::pair<DataSet*, DataGrid*> pages[] = {{m_raceTable.get(), raceDBGrid},
                                                    {m_athleteTable.get(), athleteDBGrid},
                                                    {m_recordTable.get(), recordDBGrid},
                                                    {m_eventTable.get(), eventDBGrid},
                                                    {m_pbTable.get(), pbDBGrid}};
    // Nothing here is the official's doing: an engine that cannot be asked
    // now is asked again in a second, and the official's next action
    // reports what is wrong.
    try {
        if (m_changeWatch->changedElsewhere()) {
            for (const auto& [table, grid] : pages)
                if (!m_pagesBehind.contains(table))
                    m_pagesBehind << table;
            if (m_windows.raceDetailsForm)
                m_windows.raceDetailsForm->resultsChangedElsewhere();
        }
        for (const auto& [table, grid] : pages)
            if (m_pagesBehind.contains(table) && catchUpWithOtherStations(*table, *grid))
                m_pagesBehind.removeOne(table);
        if (m_windows.raceDetailsForm)
            m_windows.raceDetailsForm->catchUpWithOtherStations();
    } catch (const Exception&) {
    }
}

bool TMainForm::catchUpWithOtherStations(DataSet& table, DataGrid& grid)
{
    if (!table.Active())
        return true;
    // An edit in progress is never stored or dropped by a refresh.
    if (grid.isEditing() || table.state() != DataSet::State::Browse)
        return false;
    const QByteArray field = grid.currentIndex().isValid() ? grid.selectedField() : QByteArray();
    table.Refresh();
    if (!field.isEmpty())
        grid.setSelectedField(field);
    return true;
}
