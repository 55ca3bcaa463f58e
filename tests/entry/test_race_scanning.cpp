#include "EntryFixture.h"

#include "entry/ColourRules.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

using RaceScanningTest = EntryFixture;

TEST_F(RaceScanningTest, ScansFillTheRaceTopToBottomAndEachIsStoredAtOnce)
{
    addAthletes(201, 12);
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
    EXPECT_TRUE(form->resultTable().FieldByName("athlete_number").IsNull()) << "the row is back to what is stored";
    EXPECT_EQ(form->resultTable().state(), DataSet::State::Browse);
    EXPECT_EQ(storedNumbers(race).mid(0, 2), (QStringList{"101", ""}));
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
    EXPECT_EQ(currentPlace(), "4");
    EXPECT_EQ(form->lastNumber, 101);
    EXPECT_EQ(timedError->Label1->text(), "101: already holds place 1 of this race") << "accepted, with a word";

    // Each showing starts afresh: the first scan is never refused.
    form->btnCloseClick();
    open(race);
    EXPECT_EQ(form->lastNumber, -1);
    scan(grid, "101");
    EXPECT_EQ(storedNumbers(race).mid(0, 5), (QStringList{"101", "102", "101", "101", ""}));
    EXPECT_EQ(currentPlace(), "5");
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

TEST_F(RaceScanningTest, ANumberThatDoesNotFitTheRaceIsStoredWithAWarningAndMarked)
{
    // Girls of 12: Ann 101, Di 104 and Fay 106 fit; Bob 102 (M 12) and Ed
    // 105 (M 13) do not, nor does Gwen 300 (F 13).
    addAthletes(300, 1, 13, "F");
    const qint32 race = storeRace(raceLine({"12.10", "12.20", "12.30", "12.40", "12.50", "12.60", "12.70", "12.80"}, "U12G"));
    open(race);
    struct Case {
        const char* number;
        QString warning;
    };
    const QList<Case> cases{
        {"101", ""},
        {"9999", "9999: no athlete of this meet has this number"},
        {"102", "102: the athlete is M, the race is F"},
        {"300", "300: the athlete is 13, the race is U12"},
        {"105", "105: the athlete is M, the race is F\n105: the athlete is 13, the race is U12"},
        {"104", ""},
        {"101", "101: already holds place 1 of this race"},
    };
    const int numberColumn = grid->columnOf("athlete_number");
    QStringList stored(8, QString());
    int beeps = 0;
    for (int i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        scan(grid, c.number);
        stored[i] = c.number;
        EXPECT_EQ(storedNumbers(race), stored) << c.number << ": stored in its place all the same";
        EXPECT_EQ(currentPlace(), QByteArray::number(i + 2)) << c.number;
        beeps += c.warning.isEmpty() ? 0 : 1;
        EXPECT_EQ(ui.beeps, beeps) << c.number;
        EXPECT_EQ(timedError->isVisible(), !c.warning.isEmpty()) << c.number;
        EXPECT_EQ(timedError->isVisible() ? timedError->Label1->text() : QString(), c.warning);
        EXPECT_EQ(grid->drawColumnCell(i, numberColumn),
                  c.warning.isEmpty() ? std::nullopt : std::optional<QColor>(ColourRules::orange()))
            << c.number;
        EXPECT_TRUE(form->isAncestorOf(QApplication::focusWidget())) << "the keyboard stays with the grid";
        timedError->Timer1Timer();
    }
    EXPECT_EQ(form->lastNumber, 101);

    // The mark goes once the number is changed.
    form->resultTable().moveTo(1);
    scan(grid, "106");
    EXPECT_EQ(grid->drawColumnCell(1, numberColumn), std::nullopt);
    EXPECT_EQ(grid->drawColumnCell(3, numberColumn), ColourRules::orange());
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(RaceScanningTest, AFullRaceKeepsItsLastPlaceAndAReopenedRaceResumesAtItsFirstEmptyPlace)
{
    const qint32 race = storeRace(raceLine({"12.10", "12.20"}));
    open(race);
    scan(grid, "101");
    scan(grid, "102");
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "102"})) << "the last row is stored";

    // A card scanned twice, then the next race's first card: both refused,
    // the last place keeps its athlete.
    scan(grid, "102");
    EXPECT_EQ(timedError->Label1->text(), TTimedErrorForm::sameNumberText());
    scan(grid, "103");
    EXPECT_EQ(ui.beeps, 2);
    EXPECT_EQ(timedError->Label1->text(), "The race has no place left: Add New Result adds one");
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "102"}));
    EXPECT_EQ(form->resultTable().state(), DataSet::State::Browse);
    EXPECT_EQ(form->lastNumber, 102);

    // A place chosen by hand, with the keys or a click, takes the scan.
    pressKey(grid, Qt::Key_Up);
    pressKey(grid, Qt::Key_Down);
    scan(grid, "103");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "103"}));
    scan(grid, "104");
    EXPECT_EQ(ui.beeps, 3) << "full again";
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(1, 4)).center());
    scan(grid, "104");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "104"}));
    form->btnNewResult->click();
    scan(grid, "105");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "104", "105"})) << "the place added takes the scan";
    EXPECT_EQ(ui.beeps, 3);

    // Opened again, a race resumes at its first place with a time and no
    // number, not at place 1; a full one at its last place, still full.
    const qint32 second = storeRace(raceLine({"00.00", "12.10", "12.20", "12.30"}));
    form->btnCloseClick();
    open(second);
    scan(grid, "101");
    form->btnCloseClick();
    open(second);
    EXPECT_EQ(currentPlace(), "3");
    scan(grid, "102");
    scan(grid, "103");
    form->btnCloseClick();
    open(second);
    EXPECT_EQ(currentPlace(), "4");
    scan(grid, "104");
    EXPECT_EQ(ui.beeps, 4);
    EXPECT_EQ(storedNumbers(second), (QStringList{"", "101", "102", "103"}));
    // Also when the window was open on another race.
    form->openForRace(race, "Race 7");
    EXPECT_EQ(currentPlace(), "3");
    scan(grid, "106");
    EXPECT_EQ(ui.beeps, 5);
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "104", "105"}));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
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

    // A time corrected by hand: F2 opens the cell's editor, the time goes
    // into the row, and Enter leads on to the number of the same place.
    grid->setSelectedField("value");
    pressKey(grid, Qt::Key_F2);
    scan(grid, "11.95");
    EXPECT_EQ(grid->selectedField(), "athlete_number");
    EXPECT_EQ(currentPlace(), "1");
    EXPECT_EQ(scalar("SELECT value FROM result WHERE place = '1'").toDouble(), 11.95) << "stored by its Enter";
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
    EXPECT_EQ(currentPlace(), "4");
    scan(grid, "103");
    EXPECT_EQ(timedError->Label1->text(), TTimedErrorForm::sameNumberText());
    EXPECT_EQ(currentPlace(), "4");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "103", "103", "", ""}));
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

    // Half-typed digits, Tab, Cancel: the row is as it was before Tab, and
    // the next move stores nothing.
    answerPick(0);
    typeKeys(grid, "77");
    pressKey(grid, Qt::Key_Tab);
    EXPECT_EQ(picks, 2);
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_EQ(form->resultTable().state(), DataSet::State::Browse);
    EXPECT_TRUE(form->resultTable().FieldByName("athlete_number").IsNull());
    pressKey(grid, Qt::Key_Down);
    EXPECT_EQ(storedNumbers(race), (QStringList{"105", "", ""}));

    // Select on an empty list is a Cancel: the athlete of the row stays.
    form->resultTable().First();
    athleteSelect->runModal = [this](TathleteSelectForm& dialog) {
        ++picks;
        dialog.FormShow();
        dialog.edtSurname->setText("zz");
        dialog.btnSurnameClick();
        dialog.btnSelectClick();
        return dialog.result() == QDialog::Accepted;
    };
    pressKey(grid, Qt::Key_Tab);
    EXPECT_EQ(picks, 3);
    EXPECT_EQ(currentPlace(), "1");
    pressKey(grid, Qt::Key_Down);
    EXPECT_EQ(storedNumbers(race), (QStringList{"105", "", ""}));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
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

TEST_F(RaceScanningTest, ARefusedRepeatIsNeverStoredByALaterMove)
{
    const qint32 race = storeRace(raceLine({"12.10", "12.20", "12.30", "00.00", "12.50", "12.60"}));
    open(race);
    scan(grid, "101");
    scan(grid, "101");
    ASSERT_EQ(ui.beeps, 1);
    pressKey(grid, Qt::Key_Down);
    EXPECT_EQ(currentPlace(), "3");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "", "", "", "", ""})) << "Down stored the repeat";

    // A pick leaves the cursor on place 4, which has no time; a repeat of
    // the last scan there is refused, and passing over the place stores
    // nothing.
    answerPick(102);
    pressKey(grid, Qt::Key_Tab);
    ASSERT_EQ(currentPlace(), "4");
    scan(grid, "101");
    EXPECT_EQ(ui.beeps, 2);
    EXPECT_EQ(currentPlace(), "5");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "", "102", "", "", ""}));
    scan(grid, "103");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "", "102", "", "103", ""}));
    EXPECT_EQ(form->lastNumber, 103);
}

TEST_F(RaceScanningTest, ScansLandInTheNumberColumnWhicheverColumnIsSelected)
{
    addAthletes(201, 5);
    const qint32 race = storeRace(raceLine({"12.10", "12.20", "12.30", "12.40", "12.50", "12.60"}));
    open(race);
    const QList<QByteArray> selected{"value", "lane", "place", "aname", "result_id_pk"};
    for (int i = 0; i < selected.size(); ++i) {
        grid->setSelectedField(selected[i]);
        scan(grid, QString::number(201 + i));
        EXPECT_EQ(grid->selectedField(), "athlete_number") << selected[i].constData();
        EXPECT_EQ(currentPlace(), QByteArray::number(i + 2)) << selected[i].constData();
    }
    EXPECT_EQ(storedNumbers(race), (QStringList{"201", "202", "203", "204", "205", ""}));
    EXPECT_EQ(rows("SELECT place, value, lane FROM result ORDER BY result_id_pk LIMIT 2"),
              (QList<QVariantList>{{"1", 12.1, "B01"}, {"2", 12.2, "B02"}}));
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(RaceScanningTest, AScanThatIsNoWholeNumberIsRefusedLikeARepeat)
{
    const qint32 race = storeRace(raceLine({"12.10", "12.20", "12.30"}));
    open(race);
    scan(grid, "101");
    scan(grid, "12A4");
    EXPECT_EQ(ui.beeps, 1);
    EXPECT_TRUE(ui.errors.isEmpty()) << "no box for the next Enter to dismiss: " << ui.errors.join('\n').toStdString();
    EXPECT_TRUE(timedError->isVisible());
    EXPECT_TRUE(timedError->Label1->text().contains("12A4")) << timedError->Label1->text().toStdString();
    EXPECT_EQ(currentPlace(), "2");
    EXPECT_TRUE(form->resultTable().FieldByName("athlete_number").IsNull());
    EXPECT_EQ(form->lastNumber, 101);

    // The next good scan goes into that place, and a repeat still warns as
    // a repeat.
    scan(grid, "102");
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "102", ""}));
    timedError->Timer1Timer();
    scan(grid, "102");
    EXPECT_EQ(timedError->Label1->text(), "Same athlete number entered twice in a row!");

    // Read with the selection on a time: the time stays as it was.
    grid->setSelectedField("value");
    scan(grid, "99999999999");
    EXPECT_EQ(ui.beeps, 3);
    EXPECT_EQ(storedNumbers(race), (QStringList{"101", "102", ""}));
    EXPECT_EQ(scalar("SELECT value FROM result WHERE place = '3'").toDouble(), 12.3);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

// A keyboard-style reader types a bib's digits a few milliseconds apart and
// then Enter. Each key is posted to the widget that has the keyboard when it
// comes, and the program handles it before the next arrives, as it does at
// that pace (a key takes well under a millisecond): no test depends on luck
// with timing.
void wedgeKey(QWidget* fallback, Qt::Key key, const QString& text)
{
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : fallback;
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
    QCoreApplication::processEvents();
}

TEST_F(RaceScanningTest, TwoHundredScansAtReaderSpeedStoreExactlyTheAcceptedNumbersInOrder)
{
    // Every tenth place, from place 4, has no time: 180 timed places.
    QList<QByteArray> times;
    for (int place = 1; place <= 200; ++place)
        times << (place % 10 == 4 ? QByteArray("00.00") : QByteArray::number(10 + place / 100.0, 'f', 2));
    addAthletes(1000, 180);
    const qint32 race = storeRace(raceLine(times));
    open(race);

    QStringList expected;
    int scans = 0;
    int repeats = 0;
    for (int accepted = 0; accepted < 180; ++accepted) {
        const QString number = QString::number(1000 + accepted);
        // After every ninth bib the reader reads the same bib once more.
        const int reads = accepted % 9 == 8 ? 2 : 1;
        for (int read = 0; read < reads; ++read, ++scans) {
            for (int i = 0; i < number.size(); ++i) {
                // Now and then the warning's second runs out between two digits.
                if (i == 2 && timedError->isVisible())
                    timedError->Timer1Timer();
                wedgeKey(grid, Qt::Key(Qt::Key_0 + number[i].digitValue()), number.mid(i, 1));
            }
            wedgeKey(grid, Qt::Key_Return, QStringLiteral("\r"));
        }
        repeats += reads - 1;
        expected << number;
    }
    ASSERT_EQ(scans, 200);

    QStringList stored;
    for (const QString& number : storedNumbers(race))
        if (!number.isEmpty())
            stored << number;
    EXPECT_EQ(stored, expected);
    const QList<QVariantList> noTime = rows("SELECT athlete_number FROM result WHERE value = 99999");
    EXPECT_EQ(noTime.size(), 20);
    for (const QVariantList& row : noTime)
        EXPECT_TRUE(row[0].isNull()) << "a place without a time got " << row[0].toString().toStdString();
    EXPECT_EQ(ui.beeps, repeats);
    EXPECT_EQ(form->resultTable().state(), DataSet::State::Browse);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

} // namespace
