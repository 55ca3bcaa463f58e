#include "EntryFixture.h"

#include <QLineEdit>
#include <QTimer>

namespace {

using RaceScanningTest = EntryFixture;

TEST_F(RaceScanningTest, ScansFillTheRaceTopToBottomAndEachIsStoredAtOnce)
{
    const qint32 race = storeRace(templateRace());
    open(race);
    ASSERT_EQ(currentPlace(), "1");
    ASSERT_EQ(grid->selectedField(), "athlete_number");

    QStringList expected(12, QString());
    for (int i = 0; i < 12; ++i) {
        const QString number = QString::number(201 + i);
        scan(grid, number);
        expected[i] = number;
        EXPECT_EQ(storedNumbers(race), expected) << "after scan " << i + 1;
        EXPECT_EQ(currentPlace(), QByteArray::number(std::min(i + 2, 12)));
        EXPECT_EQ(grid->selectedField(), "athlete_number");
    }
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_FALSE(timedError->isVisible());
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(RaceScanningTest, PlacesWithoutATimeArePassedOverAtOpeningAndAfterEachScan)
{
    const qint32 race = storeRace(raceLine({"00.00", "00.00", "12.10", "00.00", "12.50", "12.90", "00.00"}));
    open(race);
    EXPECT_EQ(currentPlace(), "3") << "the first place with a time";

    scan(grid, "101");
    EXPECT_EQ(currentPlace(), "5");
    scan(grid, "102");
    EXPECT_EQ(currentPlace(), "6");
    scan(grid, "103");
    EXPECT_EQ(currentPlace(), "7") << "the last row keeps the cursor even without a time";
    EXPECT_EQ(storedNumbers(race), (QStringList{"", "", "101", "", "102", "103", ""}));
}

TEST_F(RaceScanningTest, ConsecutiveRepeatIsRefusedWithOneBeepAndTheWarning)
{
    const qint32 race = storeRace(templateRace());
    open(race);
    scan(grid, "101");
    scan(grid, "101");
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_TRUE(timedError->isVisible());
    EXPECT_EQ(currentPlace(), "2") << "the cursor stays on the row";
    EXPECT_EQ(form->resultTable().FieldByName("athlete_number").AsInteger(), 101) << "the repeat shows in the row";
    EXPECT_EQ(storedNumbers(race).mid(0, 2), (QStringList{"101", ""})) << "but is not stored";
    EXPECT_EQ(form->lastNumber, 101);

    // The warning leaves the keyboard with the grid: the next scan replaces
    // the repeated number and goes on.
    EXPECT_TRUE(form->isAncestorOf(QApplication::focusWidget()));
    scan(grid, "102");
    EXPECT_EQ(storedNumbers(race).mid(0, 3), (QStringList{"101", "102", ""}));
    EXPECT_EQ(currentPlace(), "3");
    EXPECT_EQ(ui.beeps, 1);

    ASSERT_TRUE(timedError->Timer1->isActive());
    timedError->Timer1Timer();
    EXPECT_FALSE(timedError->isVisible());
}

TEST_F(RaceScanningTest, OnlyConsecutiveRepeatsAreRefused)
{
    const qint32 race = storeRace(templateRace());
    storeRace(templateRace());
    open(race);
    scan(grid, "101");
    scan(grid, "102");
    scan(grid, "101");
    EXPECT_EQ(storedNumbers(race).mid(0, 4), (QStringList{"101", "102", "101", ""}));
    EXPECT_EQ(ui.beeps, 0);

    // Each showing starts afresh: the first scan is never refused.
    form->btnCloseClick();
    open(race);
    EXPECT_EQ(form->lastNumber, -1);
    scan(grid, "101");
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(storedNumbers(race)[0], "101");
    EXPECT_EQ(currentPlace(), "2");
}

TEST_F(RaceScanningTest, EmptyNumberCountsAsZeroOnce)
{
    const qint32 race = storeRace(templateRace());
    open(race);
    pressKey(grid, Qt::Key_Return);
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(form->lastNumber, 0);
    EXPECT_EQ(ui.beeps, 0);

    pressKey(grid, Qt::Key_Return);
    EXPECT_EQ(ui.beeps, 1) << "a second empty number repeats 0";
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(storedNumbers(race), QStringList(12, QString())) << "nothing was written";
}

TEST_F(RaceScanningTest, TheLastRowKeepsTheCursorAndAFurtherScanReplacesItsNumber)
{
    const qint32 race = storeRace(raceLine({"12.10", "12.20"}));
    open(race);
    scan(grid, "101");
    scan(grid, "102");
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "102"})) << "the last row is stored";

    scan(grid, "102");
    EXPECT_EQ(ui.beeps, 1) << "still subject to the repeat rule";
    scan(grid, "103");
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "103"}));
    EXPECT_EQ(form->resultTable().state(), DataSet::State::Browse);
}

TEST_F(RaceScanningTest, EnterInThePerformanceColumnJumpsToTheNumberColumn)
{
    const qint32 race = storeRace(raceLine({"12.10", "12.20"}));
    open(race);
    grid->setSelectedField("value");
    pressKey(grid, Qt::Key_Return);
    EXPECT_EQ(grid->selectedField(), "athlete_number");
    EXPECT_EQ(currentPlace(), "1");
    EXPECT_EQ(form->lastNumber, -1) << "not a scan";

    // A time typed by hand goes into the row, and Enter leads on to the
    // number of the same place.
    grid->setSelectedField("value");
    scan(grid, "11.95");
    EXPECT_EQ(grid->selectedField(), "athlete_number");
    EXPECT_EQ(currentPlace(), "1");
    scan(grid, "104");
    EXPECT_EQ(scalar("SELECT value FROM result WHERE place = '1'").toDouble(), 11.95);
    EXPECT_EQ(scalar("SELECT athlete_number FROM result WHERE place = '1'").toInt(), 104);

    // Enter elsewhere keeps the grid's own way: it opens the cell editor.
    grid->setSelectedField("lane");
    pressKey(grid, Qt::Key_Return);
    EXPECT_NE(qobject_cast<QLineEdit*>(QApplication::focusWidget()), nullptr);
    EXPECT_EQ(grid->selectedField(), "lane");
}

TEST_F(RaceScanningTest, TabAndDoubleClickPickAnAthleteWithoutTheRepeatCheck)
{
    const qint32 race = storeRace(raceLine({"12.10", "00.00", "12.30", "12.40", "12.50"}));
    open(race);
    scan(grid, "101");
    ASSERT_EQ(currentPlace(), "3");

    // Back to place 1: a pick of the number scanned last is not refused,
    // and it moves on without passing over place 2, which has no time.
    form->resultTable().First();
    answerPick(101);
    pressKey(grid, Qt::Key_Tab);
    EXPECT_EQ(picks, 1);
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(grid->selectedField(), "athlete_number") << "Tab does not move between columns";

    answerPick(103);
    const QRect cell = grid->visualRect(grid->model()->index(1, 5));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(picks, 2);
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "103", "", "", ""}));
    EXPECT_EQ(currentPlace(), "3");
    EXPECT_EQ(grid->selectedField(), "athlete_number");

    // The scans are still compared with the last scan, not with the picks.
    EXPECT_EQ(form->lastNumber, 101);
    scan(grid, "103");
    EXPECT_EQ(ui.beeps, 0);
    scan(grid, "103");
    EXPECT_EQ(ui.beeps, 1);
}

TEST_F(RaceScanningTest, PickReplacesWhatWasHalfTypedAndCancelLeavesTheRow)
{
    const qint32 race = storeRace(raceLine({"12.10", "12.20", "12.30"}));
    open(race);
    answerPick(105);
    typeKeys(grid, "9");
    pressKey(grid, Qt::Key_Tab);
    EXPECT_EQ(storedNumbers(race), (QStringList{"105", "", ""}));
    EXPECT_EQ(currentPlace(), "2");

    answerPick(0);
    pressKey(grid, Qt::Key_Tab);
    EXPECT_EQ(picks, 2);
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(form->resultTable().state(), DataSet::State::Browse);
    EXPECT_EQ(storedNumbers(race), (QStringList{"105", "", ""}));
}

TEST_F(RaceScanningTest, RaceWithoutResultsOffersNoPick)
{
    open(0);
    answerPick(101);
    pressKey(grid, Qt::Key_Tab);
    scan(grid, "101");
    EXPECT_EQ(picks, 0);
    EXPECT_EQ(count("result"), 0) << "no result without a race";
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

} // namespace
