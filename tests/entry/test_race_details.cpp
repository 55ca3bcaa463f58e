#include "EntryFixture.h"

#include "entry/ColourRules.h"
#include "store/Exception.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

namespace {

using RaceDetailsTest = EntryFixture;

TEST_F(RaceDetailsTest, OnlyTheNumberColumnHasTheWindowColour)
{
    EXPECT_FALSE(form->isVisible()) << "created hidden";
    EXPECT_FALSE(form->resultTable().Active()) << "opened when first shown";
    const QColor window = QApplication::palette().color(QPalette::Base);
    for (const GridColumn& column : grid->gridModel().columns())
        EXPECT_EQ(column.background == window, column.field == "athlete_number") << column.field.constData();
}

TEST_F(RaceDetailsTest, OpeningShowsOneRaceUnderItsTitle)
{
    const qint32 first = storeRace(templateRace());
    const qint32 second = storeRace(raceLine({"00.00", "12.10"}));
    open(first, "Race 999 - U99  100M, 01/02/2024, 10:35");
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->TitlePanel->text(), "Race 999 - U99  100M, 01/02/2024, 10:35");
    EXPECT_EQ(form->raceId, first);
    EXPECT_EQ(form->resultTable().RecordCount(), 12);
    EXPECT_EQ(form->resultTable().Filter(), QString("race_id_pk = %1").arg(first));
    EXPECT_TRUE(grid->hasFocus());

    // Opening another race while the window is open: title, rows and race
    // at once, the same column, the cursor on the race's first row, and
    // the scan before still counts.
    scan(grid, "101");
    form->openForRace(second, "Race 7 - U12 F 100M, 01/02/2024, 10:40");
    EXPECT_EQ(form->TitlePanel->text(), "Race 7 - U12 F 100M, 01/02/2024, 10:40");
    EXPECT_EQ(form->raceId, second);
    EXPECT_EQ(form->resultTable().RecordCount(), 2);
    EXPECT_EQ(currentPlace(), "1") << "no show handling: the first row even without a time";
    EXPECT_EQ(grid->selectedField(), "athlete_number");
    EXPECT_EQ(form->lastNumber, 101);
    scan(grid, "101");
    EXPECT_EQ(ui.beeps, 1);
}

TEST_F(RaceDetailsTest, AddNewResultContinuesTheLaneNumbering)
{
    const qint32 race = storeRace(templateRace());
    const qint32 other = storeRace(templateRace());
    open(race);
    grid->titleClick(grid->columnOf("value")); // another order first

    form->btnNewResult->click();
    EXPECT_EQ(rows("SELECT race_id_pk, place, value, lane FROM result ORDER BY result_id_pk DESC LIMIT 1"),
              (QList<QVariantList>{{qlonglong(race), "13", 88.0, "X13"}}));
    EXPECT_TRUE(scalar("SELECT athlete_number FROM result WHERE lane = 'X13'").isNull());
    EXPECT_EQ(form->resultTable().IndexName(), "PrimaryKey");
    EXPECT_EQ(form->resultTable().FieldByName("lane").AsString(), "X13") << "the cursor on the new row";
    EXPECT_EQ(grid->selectedField(), "athlete_number") << "ready for a scan";

    form->btnNewResult->click();
    EXPECT_EQ(form->resultTable().FieldByName("lane").AsString(), "X14");
    EXPECT_EQ(form->resultTable().FieldByName("place").AsString(), "14");
    EXPECT_EQ(count("result"), 26);
    scan(grid, "104");
    EXPECT_EQ(scalar("SELECT athlete_number FROM result WHERE lane = 'X14'").toInt(), 104);
    EXPECT_EQ(count("result WHERE race_id_pk = " + QByteArray::number(other)), 12);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(RaceDetailsTest, AddNewResultOnARaceWithoutResultsStartsAtX1)
{
    storeRace(templateRace());
    open(4711);
    form->btnNewResult->click();
    EXPECT_EQ(rows("SELECT race_id_pk, place, value, lane FROM result WHERE lane LIKE 'X%'"),
              (QList<QVariantList>{{qlonglong(4711), "1", 88.0, "X1"}}));
    EXPECT_EQ(form->resultTable().RecordCount(), 1);
    form->btnNewResult->click();
    EXPECT_EQ(form->resultTable().FieldByName("lane").AsString(), "X2");
}

TEST_F(RaceDetailsTest, AddNewResultAfterALaneWithoutANumberSaysSoAndAddsNothing)
{
    const qint32 race = storeRace(raceLine({"12.10"}));
    exec("UPDATE result SET lane = 'CTK'");
    open(race);
    form->btnNewResult->click();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains("'CTK'")) << ui.errors[0].toStdString();
    EXPECT_EQ(count("result"), 1);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(RaceDetailsTest, RowsReadAgainWhileACellEditorIsOpenPickNoAthlete)
{
    // A focused cell editor that closes hands the grid a Tab; reading the
    // rows again must not turn that into a pick.
    const qint32 race = storeRace(raceLine({"12.50", "12.60"}));
    open(race);
    grid->setSelectedField("place");
    pressKey(grid, Qt::Key_F2);
    ASSERT_TRUE(grid->isAncestorOf(QApplication::focusWidget()) && QApplication::focusWidget() != grid);
    form->openForRace(race, "Race 7");
    grid->titleClick(grid->columnOf("value"));
    EXPECT_EQ(picks, 0);
    EXPECT_EQ(grid->selectedField(), "place");
    EXPECT_EQ(storedNumbers(race), (QStringList{"", ""}));
}

TEST_F(RaceDetailsTest, LaneNumberReadsFromTheFirstDigitBeforeTheLastCharacter)
{
    EXPECT_EQ(TRaceDetailsForm::laneNumber("B12"), 12);
    EXPECT_EQ(TRaceDetailsForm::laneNumber("X13"), 13);
    EXPECT_EQ(TRaceDetailsForm::laneNumber("B01"), 1);
    EXPECT_EQ(TRaceDetailsForm::laneNumber("7"), 7);
    EXPECT_EQ(TRaceDetailsForm::laneNumber(" 3"), 3) << "a multi-line lane";
    EXPECT_EQ(TRaceDetailsForm::laneNumber("AB5"), 5) << "no digit before the last: the last alone";
    EXPECT_EQ(TRaceDetailsForm::laneNumber(""), 0);
    EXPECT_THROW(TRaceDetailsForm::laneNumber("CTK"), EConvertError);
    EXPECT_THROW(TRaceDetailsForm::laneNumber("B1A"), EConvertError) << "letters after the digits";
}

TEST_F(RaceDetailsTest, CompletedMarksTheRaceTellsTheRaceListAndHides)
{
    const qint32 race = storeRace(templateRace());
    const qint32 other = storeRace(templateRace());
    int refreshes = 0;
    form->racesChanged = [&] {
        ++refreshes;
        EXPECT_EQ(scalar("SELECT completed FROM races WHERE race_id_pk = " + QByteArray::number(race)).toInt(), 1)
            << "marked before the race list re-reads";
    };
    open(race);
    form->btnCompleted->click();
    EXPECT_EQ(refreshes, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(scalar("SELECT completed FROM races WHERE race_id_pk = " + QByteArray::number(other)).toInt(), 0);

    // Hiding keeps the table open with its filter.
    EXPECT_TRUE(form->resultTable().Active());
    EXPECT_EQ(form->resultTable().RecordCount(), 12);
}

TEST_F(RaceDetailsTest, PerformanceColoursFollowRecordsAndPersonalBests)
{
    // Girls under 12: the record is 12.0; Ann (F 12) has a best of 13.0, Bob
    // (M 12) 12.8 against a record of 11.5, Cy (M 13) 12.4 and no record.
    const qint32 race = storeRace(raceLine({"11.90", "12.00", "12.80", "13.00", "13.10", "12.90", "13.50", "99.00"}));
    const QList<const char*> numbers{"101", "104", "102", "101", "101", "103", "999", ""};
    open(race);
    for (int i = 0; i < numbers.size(); ++i)
        if (*numbers[i])
            exec(QByteArray("UPDATE result SET athlete_number = ") + numbers[i] + " WHERE place = '"
                 + QByteArray::number(i + 1) + "'");
    form->resultTable().Refresh();
    const int name = grid->columnOf("aname");
    auto colour = [&](int row, int column) { return grid->drawColumnCell(row, column); };

    EXPECT_EQ(colour(0, name), ColourRules::red()) << "below the record";
    EXPECT_EQ(colour(1, name), ColourRules::red()) << "equal to the record, no best";
    EXPECT_EQ(colour(2, name), ColourRules::yellow()) << "equal to the best, above the record";
    EXPECT_EQ(colour(3, name), ColourRules::yellow()) << "equal to the best of 13.0";
    EXPECT_EQ(colour(4, name), ColourRules::lightGreen()) << "above both";
    EXPECT_EQ(colour(5, name), ColourRules::lightGreen()) << "a best but no record for 13";
    EXPECT_EQ(colour(6, name), ColourRules::lightGreen()) << "no athlete 999: no lookups";
    EXPECT_EQ(colour(7, name), std::nullopt) << "no number yet";
    for (int c = 0; c < grid->columnCount(); ++c) {
        if (c == grid->columnOf("athlete_number"))
            EXPECT_EQ(colour(1, c), std::nullopt) << "the Number cell keeps its colour";
        else
            EXPECT_EQ(colour(1, c), ColourRules::red()) << "column " << c;
    }
    // A number the scan checks find wrong marks its Number cell, until it
    // is changed: 101 holds three places, no athlete carries 999.
    const int number = grid->columnOf("athlete_number");
    EXPECT_EQ(colour(0, number), ColourRules::orange());
    EXPECT_EQ(colour(6, number), ColourRules::orange());
    EXPECT_EQ(colour(2, number), std::nullopt);
    exec("UPDATE result SET athlete_number = 106 WHERE place IN ('4', '5')");
    form->resultTable().Refresh();
    EXPECT_EQ(colour(0, number), std::nullopt);
    EXPECT_TRUE(grid->cellValue(6, "bname").isNull()) << "an unknown athlete shows no name";

    // The grid paints the chosen colour.
    grid->viewport()->update();
    QApplication::processEvents();
    const QImage shot = grid->viewport()->grab().toImage();
    const QRect cell = grid->visualRect(grid->model()->index(2, name));
    EXPECT_EQ(shot.pixelColor(cell.right() - 3, cell.center().y()), ColourRules::yellow());
}

TEST_F(RaceDetailsTest, SortingByPerformanceKeepsTheRaceAndPutsNoTimesLast)
{
    const qint32 race = storeRace(raceLine({"12.50", "00.00", "11.90", "13.00"}));
    storeRace(raceLine({"10.00", "10.50"}));
    open(race);
    const QHeaderView* header = grid->horizontalHeader();
    const int performance = grid->columnOf("value");
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(performance) + 10, header->height() / 2));
    DataSet& results = form->resultTable();
    QStringList values;
    for (int row = 0; row < results.RecordCount(); ++row)
        values << grid->model()->index(row, performance).data().toString();
    EXPECT_EQ(values, (QStringList{"11.9", "12.5", "13", "99999"}));
    EXPECT_EQ(grid->columnTitle(performance), "*Performance*");
    EXPECT_TRUE(grid->columnTitleBold(performance));
    EXPECT_EQ(grid->selectedField(), "athlete_number");

    grid->titleClick(grid->columnOf("aname"));
    EXPECT_EQ(results.IndexName(), "Value") << "an unsortable title changes nothing";

    grid->titleClick(grid->columnOf("lane"));
    EXPECT_EQ(results.IndexName(), "Lane");
    EXPECT_EQ(grid->columnTitle(performance), "*Performance");
    EXPECT_FALSE(grid->columnTitleBold(performance));
    EXPECT_EQ(grid->columnTitle(grid->columnOf("lane")), "*Lane*");
    EXPECT_EQ(results.RecordCount(), 4);

    // The marks stay from one race to the next.
    form->btnCloseClick();
    open(race);
    EXPECT_EQ(form->sortedColumn, grid->columnOf("lane"));
    EXPECT_EQ(results.IndexName(), "Lane");
}

TEST_F(RaceDetailsTest, APendingEditIsStoredInItsOwnRaceBeforeCloseCompletedOrAnotherRace)
{
    const qint32 a = storeRace(raceLine({"12.10", "12.20"}));
    const qint32 b = storeRace(raceLine({"13.10", "13.20"}));
    const qint32 c = storeRace(raceLine({"14.10", "14.20"}));
    auto column = [&](const QByteArray& field, qint32 race) {
        QStringList out;
        for (const QVariantList& row : rows("SELECT " + field + " FROM result WHERE race_id_pk = "
                                            + QByteArray::number(race) + " ORDER BY result_id_pk"))
            out << row[0].toString();
        return out;
    };

    // A time corrected by hand, still in editing when Close is pressed.
    open(a);
    grid->setSelectedField("value");
    pressKey(grid, Qt::Key_F2);
    typeKeys(grid, "11.95");
    ASSERT_TRUE(grid->isEditing());
    form->btnClose->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(column("value", a), (QStringList{"11.95", "12.2"}));

    // A number typed without Enter when Completed is pressed.
    open(b);
    pressKey(grid, Qt::Key_Down);
    typeKeys(grid, "104");
    form->btnCompleted->click();
    EXPECT_EQ(storedNumbers(b), (QStringList{"", "104"}));
    EXPECT_EQ(column("value", b), (QStringList{"13.1", "13.2"}));

    // A lane in editing when another race is opened, and one when the
    // window's close box is used.
    open(c);
    grid->setSelectedField("lane");
    pressKey(grid, Qt::Key_F2);
    scan(grid, "Z9");
    form->openForRace(a, "Race 7");
    EXPECT_EQ(column("lane", c), (QStringList{"Z9", "B02"}));
    grid->setSelectedField("lane");
    pressKey(grid, Qt::Key_F2);
    scan(grid, "Q1");
    form->close();
    EXPECT_EQ(column("lane", a), (QStringList{"Q1", "B02"}));

    open(c);
    pressKey(grid, Qt::Key_Down);
    pressKey(grid, Qt::Key_Up);
    EXPECT_EQ(column("value", a), (QStringList{"11.95", "12.2"}));
    EXPECT_EQ(column("value", b), (QStringList{"13.1", "13.2"}));
    EXPECT_EQ(column("value", c), (QStringList{"14.1", "14.2"}));
    EXPECT_EQ(column("lane", b), (QStringList{"B01", "B02"}));
    EXPECT_EQ(column("lane", c), (QStringList{"Z9", "B02"}));
    EXPECT_EQ(storedNumbers(a), (QStringList{"", ""}));
    EXPECT_EQ(storedNumbers(c), (QStringList{"", ""}));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(RaceDetailsTest, AfterAddNewResultTheSortMarkShowsTheResultIdOrder)
{
    const qint32 race = storeRace(raceLine({"12.50", "11.90"}));
    open(race);
    const int performance = grid->columnOf("value");
    const int resultId = grid->columnOf("result_id_pk");
    grid->titleClick(performance);
    ASSERT_EQ(grid->columnTitle(performance), "*Performance*");

    form->btnNewResult->click();
    EXPECT_EQ(form->resultTable().IndexName(), "PrimaryKey");
    EXPECT_EQ(grid->columnTitle(resultId), "*Result ID*");
    EXPECT_TRUE(grid->columnTitleBold(resultId));
    EXPECT_EQ(grid->columnTitle(performance), "*Performance");
    EXPECT_FALSE(grid->columnTitleBold(performance));

    grid->titleClick(performance);
    EXPECT_EQ(form->resultTable().IndexName(), "Value") << "the Performance title sorts again";
}

} // namespace
