// The grids of the main window's pages: their columns and colours.

#include "shell/Main.h"

#include "entry/ColourRules.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"

namespace {

std::optional<bool> flagOf(const QVariant& v)
{
    if (v.isNull())
        return std::nullopt;
    return v.toBool();
}

} // namespace

void TMainForm::bindGrids()
{
    const auto centre = Qt::AlignHCenter;
    raceDBGrid->setDataSet(m_raceTable.get(),
                           {{"race_id_pk", QStringLiteral("Race ID"), 0, centre},
                            {"number", QStringLiteral("Number"), 0, centre},
                            {"datetime", QStringLiteral("Date/Time"), 185, centre},
                            {"event", QStringLiteral("Event"), 0, centre},
                            {"completed", QStringLiteral("Completed"), 0, centre,
                             {QStringLiteral("True"), QStringLiteral("False")}},
                            {"age", QStringLiteral("Age"), 0, centre},
                            {"gender", QStringLiteral("M/F"), 0, centre}});
    athleteDBGrid->setDataSet(m_athleteTable.get(), {{"number", QStringLiteral("*Number"), 90},
                                                     {"firstname", QStringLiteral("First Name"), 190},
                                                     {"surname", QStringLiteral("*Surname"), 190},
                                                     {"age", QStringLiteral("Age"), 50},
                                                     {"team", QStringLiteral("Team"), 150},
                                                     {"gender", QStringLiteral("M/F")}});
    recordDBGrid->setDataSet(m_recordTable.get(),
                             {{"gender", QStringLiteral("M/F")},
                              {"event", QStringLiteral("Event")},
                              {"age", QStringLiteral("Age")},
                              {"value", QStringLiteral("Performance")},
                              {"type", QStringLiteral("Type"), 0, Qt::AlignLeft,
                               {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}}});
    eventDBGrid->setDataSet(m_eventTable.get(),
                            {{"event", QStringLiteral("Event"), 120}, {"tg_event", QStringLiteral("Timer Unit Event"), 160}});
    pbDBGrid->setDataSet(m_pbTable.get(), {{"athlete_number", QStringLiteral("Number")},
                                           {"event", QStringLiteral("Event")},
                                           {"value", QStringLiteral("Performance")}});

    // raceDBGridDrawColumnCell: completed races in lime.
    raceDBGrid->drawColumnCell = [this](int row, int) {
        return ColourRules::completedColour(flagOf(raceDBGrid->cellValue(row, "completed")));
    };
    // athleteDBGridDrawColumnCell and recordDBGridDrawColumnCell: by gender.
    athleteDBGrid->drawColumnCell = [this](int row, int) {
        return ColourRules::genderColour(athleteDBGrid->cellValue(row, "gender").toString().toUtf8());
    };
    recordDBGrid->drawColumnCell = [this](int row, int) {
        return ColourRules::genderColour(recordDBGrid->cellValue(row, "gender").toString().toUtf8());
    };
    // On the main window's pages Enter stores the row at once, as a
    // spreadsheet does: a timer-unit code typed on the Events page names the
    // event of the very next race.
    for (DataGrid* grid : {raceDBGrid, athleteDBGrid, recordDBGrid, eventDBGrid, pbDBGrid})
        grid->setEnterStoresRow(true);
    athleteDBGrid->titleClick = [this](int column) { athleteDBGridTitleClick(column); };
    raceDBGrid->dblClick = [this] { raceDBGridDblClick(); };
}
