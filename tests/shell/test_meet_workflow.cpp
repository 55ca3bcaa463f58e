// The officials' workflow as one scenario: races arrive, officials scan,
// correct, complete, export, exit and start again, through the real windows.
// After every step the meet must hold exactly what was confirmed where it
// was confirmed, every race text once and whole, and no result row without
// its race.

#include "GridTyping.h"
#include "MainFormFixture.h"

#include "entry/Racedetailsdialog.h"
#include "shell/DataGrid.h"
#include "shell/SessionEnd.h"
#include "store/DataSet.h"
#include "store/Exception.h"

#include <QLabel>
#include <QPushButton>
#include <QMap>
#include <QTabWidget>
#include <QToolButton>

#include <csignal>
#include <functional>

namespace {

class MeetWorkflow : public MainFormFixture {
protected:
    // What the meet must hold, as the officials and the timer unit made it.
    struct Place {
        QVariant athlete; // null until a number is confirmed
        double value = 0;
    };
    QMap<int, QString> raceEvents;               // race number → stored event
    QMap<std::pair<int, int>, Place> confirmed;   // (race number, place) → place

    struct Step {
        const char* what;
        std::function<void()> act;
    };

    static QByteArray raceText(int number, const QByteArray& code)
    {
        return "00:00,01/01/00," + QByteArray::number(number) + ",LANE,U12G," + code
               + ",,1,1,12.34,B1,2,12.56,B2,\r\n";
    }

    void raceArrives(int number, const QByteArray& code, const QString& storedAs)
    {
        main->ProcessRaceData(raceText(number, code), QStringLiteral("A"));
        raceEvents[number] = storedAs;
        confirmed[{number, 1}] = {QVariant(), 12.34};
        confirmed[{number, 2}] = {QVariant(), 12.56};
    }

    void openRace(int number)
    {
        main->PageControl->setCurrentIndex(TMainForm::RacesPage);
        DataSet& races = main->RaceTable();
        for (int row = 0; row < races.RecordCount(); ++row)
            if (races.value(row, races.fieldIndex("number")).toInt() == number)
                races.moveTo(row);
        main->raceDBGridDblClick();
        ASSERT_TRUE(details()->isVisible());
        QApplication::setActiveWindow(details());
        ASSERT_TRUE(QTest::qWaitForWindowActive(details()));
        details()->resultDBGrid->setFocus();
    }

    TRaceDetailsForm* details() { return windows->raceDetailsForm; }

    void backToTheMainWindow()
    {
        QApplication::setActiveWindow(main);
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    }

    void scanInto(int race, int place, int athlete)
    {
        scan(details()->resultDBGrid, QString::number(athlete));
        confirmed[{race, place}].athlete = athlete;
    }

    // Types into a page's cell and leaves the editor open, as an official
    // interrupted in the middle of an edit.
    void typeOnPage(int page, int row, const QByteArray& field, const QString& text)
    {
        backToTheMainWindow();
        main->PageControl->setCurrentIndex(page);
        main->tableOfPage(page).moveTo(row);
        DataGrid* grid = page == TMainForm::EventsPage ? main->eventDBGrid : main->athleteDBGrid;
        grid->setFocus();
        grid->setSelectedField(field);
        typeKeys(grid, text);
    }

    void restart()
    {
        // As at the first start: no timer unit is plugged in here.
        start(Clock::Stopped);
        ui.errors.clear();
    }

    QByteArray exportResults()
    {
        const QString path = dir.filePath(QStringLiteral("results.csv"));
        ui.saveAnswers << path;
        main->btnExport->click();
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void checkMeet(const char* after)
    {
        QStringList races, results;
        for (auto it = raceEvents.cbegin(); it != raceEvents.cend(); ++it)
            races << QStringLiteral("%1 %2 null null").arg(it.key()).arg(it.value());
        for (auto it = confirmed.cbegin(); it != confirmed.cend(); ++it)
            results << QStringLiteral("%1 %2 %3 %4")
                           .arg(it.key().first)
                           .arg(it.key().second)
                           .arg(it->athlete.isNull() ? QStringLiteral("null") : it->athlete.toString())
                           .arg(it->value);
        EXPECT_EQ(lines("SELECT number, event, NULL, NULL FROM races ORDER BY number"), races)
            << "every race text stored once and whole, after: " << after;
        EXPECT_EQ(lines("SELECT races.number, result.place, result.athlete_number, result.value FROM result "
                       "JOIN races ON races.race_id_pk = result.race_id_pk ORDER BY races.number, result.place"),
                  results)
            << "every confirmed number where it was confirmed, after: " << after;
        EXPECT_EQ(count("result WHERE race_id_pk NOT IN (SELECT race_id_pk FROM races)"), 0)
            << "no result without its race, after: " << after;
    }

    void run(const QList<Step>& steps)
    {
        for (const Step& step : steps) {
            step.act();
            if (HasFatalFailure())
                return;
            checkMeet(step.what);
            EXPECT_TRUE(ui.errors.isEmpty()) << step.what << ": " << ui.errors.join('\n').toStdString();
            ui.errors.clear();
        }
    }
};

TEST_F(MeetWorkflow, OfficialsDayFromTheFirstRaceToTheRestart)
{
    sql("INSERT INTO event (event, tg_event) VALUES ('100M', NULL)");
    sql("INSERT INTO event (event, tg_event) VALUES ('200M', NULL)");
    main->EventTable().Refresh();

    run({
        {"a timer-unit code typed on the Events page and ended with Enter",
         [this] {
             typeOnPage(TMainForm::EventsPage, 0, "tg_event", QStringLiteral("T1"));
             pressKey(main->eventDBGrid, Qt::Key_Return);
         }},
        {"the next race arrives under that code", [this] { raceArrives(7, "T1", "100M"); }},
        {"a scan", [this] {
             openRace(7);
             scanInto(7, 1, 201);
         }},
        {"Completed", [this] { details()->btnCompleted->click(); }},
        {"a stray scan on the Races page lands on Race ID",
         [this] {
             backToTheMainWindow();
             DataGrid* races = main->raceDBGrid;
             races->setFocus();
             races->setSelectedField("race_id_pk");
             scan(races, QStringLiteral("104"));
             EXPECT_FALSE(races->isEditing());
             EXPECT_EQ(main->RaceTable().state(), DataSet::State::Browse);
         }},
        {"a race's key changed behind the grid is refused and the edit kept",
         [this] {
             DataSet& races = main->RaceTable();
             races.setFieldValue("race_id_pk", 104);
             EXPECT_THROW(races.Post(), Exception);
             EXPECT_EQ(races.state(), DataSet::State::Edit);
             races.Cancel();
         }},
        {"a second race", [this] { raceArrives(8, "200M", "200M"); }},
        {"an athlete number taken by another athlete, then Exit: the program stays open",
         [this] {
             sql("INSERT INTO athletes (number, surname) VALUES (301, 'Lee')");
             sql("INSERT INTO athletes (number, surname) VALUES (302, 'Ray')");
             main->AthleteTable().Refresh();
             typeOnPage(TMainForm::AthletesPage, 0, "number", QStringLiteral("302"));
             main->btnExit->click();
             EXPECT_TRUE(main->isVisible());
             ASSERT_EQ(ui.errors.size(), 1);
             EXPECT_TRUE(ui.errors[0].startsWith("The edit on the Athletes page is not stored: "))
                 << ui.errors[0].toStdString();
             EXPECT_EQ(main->AthleteTable().state(), DataSet::State::Edit) << "kept for correction";
             pressKey(main->athleteDBGrid, Qt::Key_Escape);
             ui.errors.clear();
         }},
        {"a code left in an open editor on the Events page, then Exit",
         [this] {
             typeOnPage(TMainForm::EventsPage, 1, "tg_event", QStringLiteral("T2"));
             main->btnExit->click();
             EXPECT_FALSE(main->isVisible());
         }},
        {"restart", [this] { restart(); }},
        {"the race under the code stored at Exit", [this] { raceArrives(9, "T2", "200M"); }},
        {"a code left in an open editor when the session ends",
         [this] {
             const SessionEndWatch sessionEnd(*main);
             typeOnPage(TMainForm::EventsPage, 0, "tg_event", QStringLiteral("T3"));
             std::raise(SIGTERM);
             QTRY_VERIFY(!main->isVisible());
             restart();
         }},
        {"the race under the code stored at the session's end", [this] { raceArrives(10, "T3", "100M"); }},
        {"export", [this] { EXPECT_TRUE(exportResults().endsWith(",201,100M,12.34\r\n")); }},
        {"import of the next meet's track data, with a code left open on the Events page",
         [this] {
             typeOnPage(TMainForm::EventsPage, 0, "tg_event", QStringLiteral("T4"));
             ui.confirmAnswers << true;
             ui.openAnswers << QStringLiteral(VEXO_SAMPLES_DIR "/meet.csv");
             main->btnImport->click();
             EXPECT_EQ(count("event WHERE tg_event = 'T4'"), 1);
             raceEvents.clear();
             confirmed.clear();
         }},
    });
}

// A time corrected by hand in the race details window and ended with Enter
// is stored at once, so the results file carries the corrected time.
TEST_F(MeetWorkflow, HandCorrectedTimeWithEnterIsWhatTheExportWrites)
{
    run({
        {"a race arrives", [this] { raceArrives(7, "100M", "100M"); }},
        {"a scan, then a time corrected by hand and ended with Enter",
         [this] {
             openRace(7);
             scanInto(7, 1, 201);
             DataGrid* grid = details()->resultDBGrid;
             details()->resultTable().moveTo(0);
             grid->setSelectedField("value");
             pressKey(grid, Qt::Key_F2);
             typeKeys(grid, QStringLiteral("11.95"));
             pressKey(grid, Qt::Key_Return);
             confirmed[{7, 1}].value = 11.95;
         }},
        {"export", [this] { EXPECT_TRUE(exportResults().endsWith(",201,100M,11.95\r\n")); }},
    });
}

} // namespace
