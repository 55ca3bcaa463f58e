#include "EntryFixture.h"

#include "entry/ColourRules.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

class AthleteSelectTest : public EntryFixture {
protected:
    void SetUp() override
    {
        EntryFixture::SetUp();
        dialog = athleteSelect.get();
    }

    // The dialog on screen without a modal loop, as a person would see it.
    void showDialog()
    {
        dialog->show();
        QApplication::setActiveWindow(dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    }

    QStringList surnames()
    {
        QStringList out;
        DataSet& athletes = dialog->athleteTable();
        for (int row = 0; row < athletes.RecordCount(); ++row)
            out << grid1()->model()->index(row, 2).data().toString();
        return out;
    }

    DataGrid* grid1() const { return dialog->DBGrid1; }

    TathleteSelectForm* dialog = nullptr;
};

TEST_F(AthleteSelectTest, ListsEveryAthleteInSurnameOrder)
{
    EXPECT_TRUE(dialog->athleteTable().Active()) << "open from creation";
    showDialog();
    EXPECT_EQ(surnames(), (QStringList{"Adams", "Lee", "O'Brien", "Ray", "Smith", "smithers"}));
    EXPECT_TRUE(dialog->edtSurname->hasFocus());
}

TEST_F(AthleteSelectTest, EnterInTheSurnameBoxSearchesFromTheTypedTextOnAndDoesNotClose)
{
    showDialog();
    QTest::keyClicks(dialog->edtSurname, "smi");
    QTest::keyClick(dialog->edtSurname, Qt::Key_Return);
    EXPECT_EQ(surnames(), (QStringList{"Smith", "smithers"})) << "any case";
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->athleteTable().Filter(), "surname >= 'smi'");

    dialog->edtSurname->setText("o'b");
    dialog->btnSurname->click();
    EXPECT_EQ(surnames(), (QStringList{"O'Brien", "Ray", "Smith", "smithers"})) << "a quote can be searched";
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();

    dialog->edtSurname->clear();
    dialog->btnSurname->click();
    EXPECT_TRUE(dialog->athleteTable().Filtered()) << "an empty text still filters";
    EXPECT_EQ(surnames().size(), 6);
}

TEST_F(AthleteSelectTest, ShowingAgainStartsFromTheWholeList)
{
    showDialog();
    dialog->edtSurname->setText("Smith");
    dialog->btnSurname->click();
    dialog->btnSelect->click();
    EXPECT_EQ(dialog->selectedNumber, 103);
    EXPECT_FALSE(dialog->isVisible());

    showDialog();
    EXPECT_EQ(dialog->selectedNumber, 0);
    EXPECT_TRUE(dialog->edtSurname->text().isEmpty());
    EXPECT_FALSE(dialog->athleteTable().Filtered());
    EXPECT_EQ(dialog->athleteTable().Filter(), "surname >= 'Smith'") << "the filter text stays";
    EXPECT_EQ(surnames().size(), 6);
    EXPECT_EQ(dialog->athleteTable().RecNo(), 0);
}

TEST_F(AthleteSelectTest, SelectAndDoubleClickReturnTheRowsNumberAndCancelReturnsNothing)
{
    showDialog();
    const QRect ray = grid1()->visualRect(grid1()->model()->index(3, 1));
    QTest::mouseDClick(grid1()->viewport(), Qt::LeftButton, {}, ray.center());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->selectedNumber, 102);
    EXPECT_FALSE(dialog->isVisible());

    showDialog();
    dialog->btnCancel->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(dialog->selectedNumber, 0);

    // Select and a double-click on an empty list do what Cancel does.
    showDialog();
    dialog->edtSurname->setText("zz");
    dialog->btnSurname->click();
    ASSERT_EQ(surnames().size(), 0);
    dialog->btnSelect->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());

    showDialog();
    dialog->edtSurname->setText("zz");
    dialog->btnSurname->click();
    QTest::mouseDClick(grid1()->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(AthleteSelectTest, RowsAreColouredByGender)
{
    showDialog();
    // Adams F, Lee F, O'Brien F, Ray M, Smith M, smithers M
    for (int column = 0; column < grid1()->columnCount(); ++column) {
        EXPECT_EQ(grid1()->drawColumnCell(0, column), ColourRules::pink());
        EXPECT_EQ(grid1()->drawColumnCell(3, column), ColourRules::lightBlue());
    }
}

} // namespace
