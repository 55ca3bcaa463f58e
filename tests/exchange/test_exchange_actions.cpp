#include "exchange/ExchangeActions.h"
#include "exchange/ExchangeFixture.h"
#include "shell/RecordingUiServices.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

#include <QStringEncoder>

namespace {

const QString confirmText = QStringLiteral("This operation will clear all existing race data.\n Do you wish to proceed?\n");

class ExchangeActions : public ExchangeFixture {
protected:
    void SetUp() override
    {
        ExchangeFixture::SetUp();
        fillMeetInProgress();
    }

    void importAction()
    {
        importTrackDataAction(nullptr, *db, *query, [this] { refreshes << ui.errors.size(); });
    }

    RecordingUiServices ui;
    // One entry per refresh of the pages: the number of error boxes shown
    // before it.
    QList<qsizetype> refreshes;
};

} // namespace

TEST_F(ExchangeActions, AnsweringNoChangesNothing)
{
    ui.confirmAnswers << false;
    importAction();
    EXPECT_EQ(ui.confirmations, QStringList{confirmText});
    EXPECT_TRUE(ui.fileFilters.isEmpty());
    EXPECT_TRUE(refreshes.isEmpty());
    EXPECT_EQ(raceDataRows(), 5);
}

TEST_F(ExchangeActions, CancelledFileDialogChangesNothingButRefreshes)
{
    ui.confirmAnswers << true;
    ui.openAnswers << QString();
    importAction();
    EXPECT_EQ(ui.fileFilters, QStringList{QStringLiteral("VEXO Track Data files (*.csv)")});
    EXPECT_EQ(raceDataRows(), 5);
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(refreshes, QList<qsizetype>{0});
}

TEST_F(ExchangeActions, ImportedFileIsShownWithANoticeOfWhatItStored)
{
    ui.confirmAnswers << true;
    ui.openAnswers << writeFile(QStringLiteral("meet.csv"),
                                "Kind,Number\r\nA,1,Ann,Lee,12,Blue,F\r\nE,100M\r\nE,200M\r\nE,200M\r\nP,1,100M,14.5\r\n");
    importAction();
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(ui.notices,
              QStringList{QStringLiteral("Imported 1 athlete, 2 events, 0 records, 1 personal best from meet.csv")});
    EXPECT_EQ(refreshes, QList<qsizetype>{0});
    EXPECT_EQ(count("athletes"), 1);
    EXPECT_EQ(count("races"), 0);
}

TEST_F(ExchangeActions, FailingLineIsShownAndThePagesRefreshedAfterIt)
{
    ui.confirmAnswers << true;
    ui.openAnswers << writeFile(QStringLiteral("meet.csv"),
                                "A,1,Ann,Lee,12,Blue,F\r\nA,2,Ben,Ray,13,Red,M\r\nAthlete,3,Cy,Fox,12,Blue,M\r\n");
    importAction();
    EXPECT_EQ(ui.errors, QStringList{QStringLiteral(
                             "Failed to Save data to Database, error on line: 2\nInvalid Athlete CSV string")});
    EXPECT_EQ(refreshes, QList<qsizetype>{1});
    EXPECT_EQ(count("athletes"), 2);

    // The word after it never reads as a success, and counts only what
    // was stored: a line that fails late in a batch, after the lines of
    // its batch went to the engine, is not counted with them. A file
    // refused before anything changed says so.
    QByteArray lines;
    for (int number = 1; number <= 600; ++number)
        lines += "A," + QByteArray::number(number) + ",Ann,Lee,12,Blue,F\r\n";
    QStringEncoder utf16(QStringConverter::Utf16LE);
    ui.confirmAnswers << true << true;
    ui.openAnswers << writeFile(QStringLiteral("long.csv"), lines + "A,600,Twice,Lee,12,Blue,F\r\n")
                   << writeFile(QStringLiteral("marked.csv"), "\xFF\xFE" + QByteArray(utf16.encode(u"A,1\r\n")) + "A");
    importAction();
    importAction();
    EXPECT_EQ(count("athletes"), 600);
    ASSERT_EQ(ui.errors.size(), 3);
    EXPECT_EQ(ui.notices,
              (QStringList{QStringLiteral("The import of meet.csv stopped at line 2: only the lines before it were "
                                          "stored, 2 athletes, 0 events, 0 records, 0 personal bests"),
                           QStringLiteral("The import of long.csv stopped at line 600: only the lines before it were "
                                          "stored, 600 athletes, 0 events, 0 records, 0 personal bests"),
                           QStringLiteral("Nothing was imported from marked.csv; the meet is as it was")}));
}

TEST_F(ExchangeActions, FailingPostStopsTheImportWithItsMessage)
{
    ui.confirmAnswers << true;
    ui.openAnswers << writeFile(QStringLiteral("meet.csv"), "A,1,Ann,Lee,12,Blue,F\r\n");
    importTrackDataAction(nullptr, *db, *query, [this] { refreshes << ui.errors.size(); },
                          [] { throw Exception(QStringLiteral("Row was changed or deleted since it was read")); });
    EXPECT_EQ(ui.errors, QStringList{QStringLiteral("Row was changed or deleted since it was read")});
    EXPECT_EQ(raceDataRows(), 5);
    EXPECT_EQ(scalar("select number from athletes").toInt(), 900);
}

TEST_F(ExchangeActions, PendingEditsEndAfterTheFileIsChosenAndBeforeAnythingIsEmptied)
{
    ui.confirmAnswers << true << true;
    ui.openAnswers << QString() << writeFile(QStringLiteral("meet.csv"), "A,1,Ann,Lee,12,Blue,F\r\n");
    QList<int> rowsWhenEnded;
    const auto endPendingEdits = [&] { rowsWhenEnded << raceDataRows(); };
    importTrackDataAction(nullptr, *db, *query, {}, endPendingEdits);
    EXPECT_TRUE(rowsWhenEnded.isEmpty()) << "the file dialog was cancelled";
    importTrackDataAction(nullptr, *db, *query, {}, endPendingEdits);
    EXPECT_EQ(rowsWhenEnded, QList<int>{5});
    EXPECT_EQ(scalar("select number from athletes").toInt(), 1);
}

TEST_F(ExchangeActions, ImportThatCannotStartGoesOnToTheCaller)
{
    ui.confirmAnswers << true;
    ui.openAnswers << dir.filePath(QStringLiteral("gone.csv"));
    EXPECT_THROW(importAction(), Exception);
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(refreshes.isEmpty());
    EXPECT_EQ(raceDataRows(), 5);
}

TEST_F(ExchangeActions, ExportProposesTheNameAndSaysWhatItWrote)
{
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    ui.saveAnswers << QString() << path;
    exportResultsAction(nullptr, *query);
    EXPECT_FALSE(QFileInfo::exists(path)); // cancelled
    exportResultsAction(nullptr, *query);
    EXPECT_EQ(ui.fileFilters, QStringList(2, QStringLiteral("VEXO Results Data files (*.csv)")));
    EXPECT_EQ(ui.proposedNames, QStringList(2, QStringLiteral("something.csv")));
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(readFile(path), QByteArray("Results\r\n2025-05-01,900,100M,12.5\r\n"));

    // A second race, completed, with two scanned places and one not yet.
    exec("insert into races (race_id_pk, number, datetime, event, completed, age, gender, heat, hf, mode)"
         " values (78, 4, '2025-05-01 11:00:00', '200M', 1, 12, 'M', 1, '', 'LANE')");
    exec("insert into result (race_id_pk, place, value, lane, athlete_number) values (78, '1', 25.1, 'B01', 900)");
    exec("insert into result (race_id_pk, place, value, lane, athlete_number) values (78, '2', 25.9, 'B02', 901)");
    exec("insert into result (race_id_pk, place, value, lane, athlete_number) values (78, '3', 26.4, 'B03', 0)");
    ui.saveAnswers << path;
    exportResultsAction(nullptr, *query);
    exec("update races set completed = 1");
    ui.saveAnswers << path;
    exportResultsAction(nullptr, *query);
    exec("delete from result");
    ui.saveAnswers << path;
    exportResultsAction(nullptr, *query);
    EXPECT_EQ(ui.notices,
              (QStringList{QStringLiteral("Wrote 1 result of 1 race to results.csv; it is not completed"),
                           QStringLiteral("Wrote 3 results of 2 races to results.csv; 1 of them not completed"),
                           QStringLiteral("Wrote 3 results of 2 races to results.csv; all of them completed"),
                           QStringLiteral("Wrote no results to results.csv: no place of any race holds an "
                                          "athlete number")}));
}

TEST_F(ExchangeActions, FailingExportIsShownAndKeepsTheOldFile)
{
    const QString path = writeFile(QStringLiteral("results.csv"), "Results\r\n");
    exec("alter table races rename to races_moved");
    ui.saveAnswers << path;
    exportResultsAction(nullptr, *query);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith(QStringLiteral("Failed to save results.\n"))) << ui.errors[0].toStdString();
    EXPECT_TRUE(ui.errors[0].contains(QStringLiteral("races"))) << ui.errors[0].toStdString();
    EXPECT_EQ(readFile(path), QByteArray("Results\r\n"));
    EXPECT_TRUE(ui.notices.isEmpty());
}
