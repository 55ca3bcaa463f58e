#include "MainFormFixture.h"

#include "entry/Racedetailsdialog.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"

namespace {

using RaceListTest = MainFormFixture;

TEST_F(RaceListTest, DoubleClickOnAnEmptyRaceListOpensNoRace)
{
    ASSERT_EQ(main->RaceTable().RecordCount(), 0);
    QTest::mouseDClick(main->raceDBGrid->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(windows->raceDetailsForm->isVisible());
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

} // namespace
