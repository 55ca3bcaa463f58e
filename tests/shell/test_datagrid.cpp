#include "GridTyping.h"
#include "RecordingUiServices.h"
#include "store/StoreFixture.h"

#include "shell/DataGrid.h"
#include "store/DataSet.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QSqlQuery>
#include <QComboBox>
#include <QTest>

namespace {

class DataGridTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        for (const char* row : {"(101, 'Ann', 'Lee', 12, 'Blue', 'F')", "(102, 'Bob', 'Ray', 13, 'Red', 'M')",
                                "(103, 'Cy', 'Sol', 14, 'Red', 'M')"})
            exec(QByteArray("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES ") + row);
        athletes = std::make_unique<DataSet>(*db, "athletes");
        athletes->setIndexName("PrimaryKey");
        athletes->Open();
        grid = std::make_unique<DataGrid>();
        grid->setDataSet(athletes.get(), {{"number", "*Number", 90, Qt::AlignCenter},
                                          {"firstname", "First Name", 120},
                                          {"surname", "*Surname", 120},
                                          {"age", "Age", 50, Qt::AlignCenter},
                                          {"gender", "M/F", 40, Qt::AlignCenter, {"M", "F"}}});
        grid->resize(600, 300);
        grid->show();
        QApplication::setActiveWindow(grid.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(grid.get()));
        grid->setFocus();
    }
    void TearDown() override
    {
        grid.reset();
        athletes.reset();
        StoreFixture::TearDown();
    }

    QLineEdit* editor() const { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }

    RecordingUiServices ui;
    std::unique_ptr<DataSet> athletes;
    std::unique_ptr<DataGrid> grid;
};

TEST_F(DataGridTest, TypingOpensTheEditorAndMovingOnPostsTheRow)
{
    grid->setSelectedField("age");
    typeKeys(grid.get(), "4");
    ASSERT_NE(editor(), nullptr) << "typing a character opens the cell editor";
    EXPECT_EQ(editor()->text(), "4") << "the typed character replaces the cell's text";
    typeKeys(grid.get(), "0");
    pressKey(grid.get(), Qt::Key_Return);
    EXPECT_EQ(athletes->FieldByName("age").AsInteger(), 40) << "Enter writes the edit into the row";
    EXPECT_EQ(athletes->state(), DataSet::State::Edit);
    EXPECT_EQ(scalar("SELECT age FROM athletes WHERE number = 101").toInt(), 12) << "not posted yet";

    pressKey(grid.get(), Qt::Key_Down);
    EXPECT_EQ(athletes->RecNo(), 1);
    EXPECT_EQ(scalar("SELECT age FROM athletes WHERE number = 101").toInt(), 40);
}

TEST_F(DataGridTest, EscapeAbandonsTheEditAndAnInsertedRow)
{
    grid->setSelectedField("surname");
    typeKeys(grid.get(), "Zed");
    pressKey(grid.get(), Qt::Key_Return);
    ASSERT_EQ(athletes->FieldByName("surname").AsString(), QByteArray("Zed"));
    pressKey(grid.get(), Qt::Key_Escape);
    EXPECT_EQ(athletes->state(), DataSet::State::Browse);
    EXPECT_EQ(athletes->FieldByName("surname").AsString(), QByteArray("Lee"));

    typeKeys(grid.get(), "Zed");
    pressKey(grid.get(), Qt::Key_Escape); // in the editor
    EXPECT_EQ(athletes->FieldByName("surname").AsString(), QByteArray("Lee"));
    EXPECT_EQ(athletes->state(), DataSet::State::Browse);

    athletes->Insert();
    EXPECT_EQ(grid->model()->rowCount(), 4);
    pressKey(grid.get(), Qt::Key_Escape);
    EXPECT_EQ(grid->model()->rowCount(), 3);
    EXPECT_EQ(count("athletes"), 3);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(DataGridTest, KeyPressSeesEnterAfterTheEditIsInTheRow)
{
    grid->setSelectedField("number");
    QList<QChar> keys;
    QByteArray numberAtEnter;
    grid->keyPress = [&](QChar& key) {
        keys << key;
        if (key == '\r')
            numberAtEnter = athletes->FieldByName("number").AsString();
    };
    scan(grid.get(), "555");
    EXPECT_EQ(keys, (QList<QChar>{'5', '5', '5', '\r'}));
    EXPECT_EQ(numberAtEnter, QByteArray("555"));

    // A handler may swallow a character.
    grid->keyPress = [](QChar& key) {
        if (key == 'x')
            key = QChar();
    };
    grid->setSelectedField("surname");
    typeKeys(grid.get(), "xy");
    ASSERT_NE(editor(), nullptr);
    EXPECT_EQ(editor()->text(), "y");
}

TEST_F(DataGridTest, BadValueIsShownAndTheRowIsKept)
{
    grid->setSelectedField("age");
    scan(grid.get(), "9B");
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.errors[0], "''9B'' is not a valid integer value");
    EXPECT_EQ(athletes->FieldByName("age").AsInteger(), 12);

    // A post the engine refuses keeps the cursor on the row.
    grid->setSelectedField("number");
    scan(grid.get(), "102");
    pressKey(grid.get(), Qt::Key_Down);
    ASSERT_EQ(ui.errors.size(), 2);
    EXPECT_TRUE(ui.errors[1].contains("UNIQUE")) << ui.errors[1].toStdString();
    EXPECT_EQ(athletes->RecNo(), 0);
    EXPECT_EQ(grid->currentIndex().row(), 0);
}

TEST_F(DataGridTest, DeleteAsksFirstAndCancelKeepsTheRow)
{
    athletes->moveTo(1);
    ui.confirmAnswers << false << true;
    pressKey(grid.get(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ui.confirmations, (QStringList{"Delete record?"}));
    EXPECT_EQ(count("athletes"), 3);

    grid->deleteCurrentRow();
    EXPECT_EQ(count("athletes WHERE number = 102"), 0);
    EXPECT_EQ(grid->model()->rowCount(), 2);
}

TEST_F(DataGridTest, HandlerColourPaintsTheBackgroundAlsoOfTheSelectedCell)
{
    const QColor pink(255, 182, 193);
    grid->drawColumnCell = [&](int row, int) -> std::optional<QColor> {
        if (grid->cellValue(row, "gender").toString() == "F")
            return pink;
        return std::nullopt;
    };
    grid->setSelectedField("firstname");
    grid->viewport()->update();
    QApplication::processEvents();
    const QImage shot = grid->viewport()->grab().toImage();
    auto pixelIn = [&](int row, int column) {
        const QRect cell = grid->visualRect(grid->model()->index(row, column));
        return shot.pixelColor(cell.left() + cell.width() * 3 / 4, cell.center().y());
    };
    EXPECT_EQ(pixelIn(0, 0), pink);
    EXPECT_EQ(pixelIn(0, 1), pink) << "the selected cell";
    EXPECT_NE(pixelIn(1, 0), pink);
}

TEST_F(DataGridTest, TitleClickAndDoubleClickAndKeyDownReachTheirHandlers)
{
    int clicked = -1;
    grid->titleClick = [&](int column) { clicked = column; };
    const QHeaderView* header = grid->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 10, header->height() / 2));
    EXPECT_EQ(clicked, 2);

    int doubleClicks = 0;
    grid->dblClick = [&] { ++doubleClicks; };
    const QRect cell = grid->visualRect(grid->model()->index(1, 1));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(doubleClicks, 1);

    int tabs = 0;
    grid->keyDown = [&](int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Tab) {
            ++tabs;
            key = 0;
        }
    };
    const int column = grid->selectedColumn();
    pressKey(grid.get(), Qt::Key_Tab);
    EXPECT_EQ(tabs, 1);
    EXPECT_EQ(grid->selectedColumn(), column) << "a swallowed Tab does not move";
}

TEST_F(DataGridTest, PickListOffersItsChoices)
{
    grid->setSelectedField("gender");
    pressKey(grid.get(), Qt::Key_F2);
    auto* box = qobject_cast<QComboBox*>(QApplication::focusWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->count(), 2);
    EXPECT_EQ(box->currentText(), "F");
    box->setCurrentIndex(0);
    pressKey(grid.get(), Qt::Key_Return);
    EXPECT_EQ(athletes->FieldByName("gender").AsString(), QByteArray("M"));
}

} // namespace

namespace {

TEST_F(DataGridTest, RefusedEditIsNotPassedOnAsAnEnter)
{
    grid->setSelectedField("age");
    int enters = 0;
    grid->keyPress = [&](QChar& key) {
        if (key == '\r')
            ++enters;
    };
    scan(grid.get(), "99999999999");
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(enters, 0);
    scan(grid.get(), "15");
    EXPECT_EQ(enters, 1);
}

} // namespace
