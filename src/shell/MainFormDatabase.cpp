// The connection to the meet's server as the main window shows it: the
// status beside the ports, one box for an outage, and, when the connection
// is back, the race texts that waited stored and every page read again.

#include "entry/Racedetailsdialog.h"
#include "shell/AppWindows.h"
#include "shell/Main.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"
#include "store/DatabaseLink.h"

#include <QLabel>
#include <QPalette>

namespace {

void showState(QLabel* label, const QString& text, const QColor& colour, const QString& hint)
{
    QPalette p = label->palette();
    p.setColor(QPalette::Window, colour);
    label->setPalette(p);
    label->setText(text);
    label->setToolTip(hint);
}

} // namespace

void TMainForm::ShowDatabaseStatus()
{
    if (!databaseLink->connected()) {
        showState(lbDatabaseStatus, QStringLiteral("Database: lost, retrying"), QColor(255, 0, 0),
                  databaseLink->message());
        if (m_outageTold)
            return;
        // Once for the outage, as a port that goes down beeps once; the
        // races and scans it holds back are told where they are.
        m_outageTold = true;
        UiServices::current().beep();
        showReceptionError(databaseLink->message()
                           + QStringLiteral("\nRace texts that arrive meanwhile are kept in the race journal and "
                                            "stored as soon as the connection is back."));
        return;
    }
    showState(lbDatabaseStatus, QStringLiteral("Database: connected"), QColor(0, 255, 0), QString());
    if (!std::exchange(m_outageTold, false) && m_racesWaitingForDatabase.isEmpty())
        return;
    databaseIsBack();
}

void TMainForm::databaseIsBack()
{
    storeRacesThatWaited();
    // Other stations went on storing meanwhile: every page reads its rows
    // again as soon as no edit is open in it.
    for (DataSet* table : {m_raceTable.get(), m_athleteTable.get(), m_recordTable.get(), m_eventTable.get(),
                           m_pbTable.get()})
        if (!m_pagesBehind.contains(table))
            m_pagesBehind << table;
    if (m_windows.raceDetailsForm) {
        m_windows.raceDetailsForm->resultsChangedElsewhere();
        m_windows.raceDetailsForm->databaseIsBack();
    }
    watchOtherStations();
}
