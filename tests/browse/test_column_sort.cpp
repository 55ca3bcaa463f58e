#include "shell/RecordingUiServices.h"
#include "store/StoreFixture.h"

#include "browse/ColumnSort.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"

namespace {

class ColumnSortTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        exec("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (105, 'Ann', 'Lee', 12, 'Blue', 'F')");
        exec("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (101, 'Bob', 'Ray', 13, 'Red', 'M')");
        exec("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (110, 'Cy', 'Abe', 14, 'Red', 'M')");
        athletes = std::make_unique<DataSet>(*db, "athletes");
        athletes->setCaseInsensitive(true);
        athletes->Open();
        grid.setDataSet(athletes.get(), {{"number", "*Number"}, {"firstname", "First Name"}, {"surname", "*Surname"}});
    }

    QList<int> numbers()
    {
        QList<int> out;
        for (int row = 0; row < athletes->RecordCount(); ++row)
            out << athletes->value(row, 0).toInt();
        return out;
    }

    const QList<SortableColumn> sortable{{"*Number", "PrimaryKey"}, {"*Surname", "Surname"}};
    RecordingUiServices ui;
    std::unique_ptr<DataSet> athletes;
    DataGrid grid;
    int sorted = -1;
};

TEST_F(ColumnSortTest, TitleClicksSwitchTheIndexAndMoveTheMark)
{
    EXPECT_TRUE(sortByTitle(grid, sortable, sorted, 2));
    EXPECT_EQ(numbers(), (QList<int>{110, 105, 101}));
    EXPECT_EQ(grid.columnTitle(2), "*Surname*");
    EXPECT_TRUE(grid.columnTitleBold(2));
    EXPECT_EQ(sorted, 2);

    EXPECT_TRUE(sortByTitle(grid, sortable, sorted, 0));
    EXPECT_EQ(numbers(), (QList<int>{101, 105, 110}));
    EXPECT_EQ(grid.columnTitle(2), "*Surname");
    EXPECT_FALSE(grid.columnTitleBold(2));
    EXPECT_EQ(grid.columnTitle(0), "*Number*");
    EXPECT_TRUE(grid.columnTitleBold(0));
}

TEST_F(ColumnSortTest, OtherTitlesAndTheMarkedColumnChangeNothing)
{
    EXPECT_FALSE(sortByTitle(grid, sortable, sorted, 1));
    EXPECT_EQ(sorted, -1);
    EXPECT_EQ(grid.columnTitle(1), "First Name");

    sortByTitle(grid, sortable, sorted, 2);
    EXPECT_FALSE(sortByTitle(grid, sortable, sorted, 2)) << "the marked column's caption ends in an extra *";
    EXPECT_EQ(grid.columnTitle(2), "*Surname*");
}

TEST_F(ColumnSortTest, ResortingKeepsTheFilter)
{
    athletes->setFilter("age >= 13");
    athletes->setFiltered(true);
    sortByTitle(grid, sortable, sorted, 2);
    EXPECT_EQ(numbers(), (QList<int>{110, 101}));
}

} // namespace
