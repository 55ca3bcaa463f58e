#include "exchange/ExchangeActions.h"
#include "exchange/ExchangeFixture.h"
#include "shell/RecordingUiServices.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

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

TEST_F(ExchangeActions, ImportedFileIsShownWithoutAMessage)
{
    ui.confirmAnswers << true;
    ui.openAnswers << writeFile(QStringLiteral("meet.csv"), "A,1,Ann,Lee,12,Blue,F\r\n");
    importAction();
    EXPECT_TRUE(ui.errors.isEmpty());
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

TEST_F(ExchangeActions, ExportProposesTheNameAndWritesSilently)
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
}
