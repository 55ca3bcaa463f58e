// The operations on races, athletes and events of the main window's pages.

#include "shell/Main.h"

#include "shell/DataGrid.h"
#include "store/DataSet.h"
#include "store/DateTime.h"
#include "store/Race.h"
#include "store/RaceText.h"

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
