#include "timer-sim/RaceFile.h"

#include <gtest/gtest.h>

namespace {

const QByteArray single = "10:35,09/12/26,12,LANE,U12G,100M,,1,1,12.34,B01,";

} // namespace

TEST(RaceFile, BlankLinesSeparateRacesKeptByteForByte)
{
    // LF, CR LF and lone CR line ends; runs of blank lines, blanks on them,
    // and blank lines before the first race.
    const QByteArray multiCrLf = "U12G   100M   H01\r\n09/12/26 10:35  RACE 012\r\n01  12.34    01\r\n";
    const QByteArray multiCr = "U9B    60M    H02\r09/12/26 10:36  RACE 013\r01  09.87    04\r";
    const QByteArray contents = "\n  \n" + single + "\n\n\n" + multiCrLf + " \t\r\n" + multiCr + "\r\n" + single + "\r\n";
    const QList<QByteArray> races = splitRaceFile(contents);
    ASSERT_EQ(races.size(), 4);
    EXPECT_EQ(races[0], single + "\n");
    EXPECT_EQ(races[1], multiCrLf);
    EXPECT_EQ(races[2], multiCr);
    EXPECT_EQ(races[3], single + "\r\n");
}

TEST(RaceFile, LastRaceWithoutLineEndGetsCrLf)
{
    EXPECT_EQ(splitRaceFile(single), QList<QByteArray>{single + "\r\n"});
    EXPECT_EQ(splitRaceFile(single + "\n\nU12G   100M   H01\r\nA line"),
              (QList<QByteArray>{single + "\n", "U12G   100M   H01\r\nA line\r\n"}));
}

TEST(RaceFile, NothingButBlanksHoldsNoRace)
{
    EXPECT_TRUE(splitRaceFile("").isEmpty());
    EXPECT_TRUE(splitRaceFile("\r\n \n\t\r").isEmpty());
}
