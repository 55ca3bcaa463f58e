#include "exchange/ExchangeFixture.h"
#include "exchange/ResultsExport.h"
#include "exchange/TrackDataImport.h"
#include "store/Race.h"
#include "store/RaceText.h"

#include <gtest/gtest.h>

namespace {

class MeetRoundTrip : public ExchangeFixture {
protected:
    void SetUp() override
    {
        ExchangeFixture::SetUp();
    }

    void TearDown() override
    {
        RACE::setClock({});
        ExchangeFixture::TearDown();
    }

    qint32 receive(const QDateTime& at, const QByteArray& text)
    {
        RACE::setClock([at] { return at; });
        return storeRaceText(text, *query);
    }

    // As the race details window stores a scanned athlete number.
    void scan(qint32 raceKey, const char* place, int athlete)
    {
        exec("update result set athlete_number = " + QByteArray::number(athlete) + " where race_id_pk = "
             + QByteArray::number(raceKey) + " and place = '" + place + "'");
    }
};

} // namespace

// The sample meet goes in, two races are timed and scanned, and the results
// file comes out byte for byte as the reference.
TEST_F(MeetRoundTrip, SampleMeetGivesTheReferenceResultsFile)
{
    fillMeetInProgress();
    exec("delete from event");
    const TrackDataCounts counts =
        ImportTrackData(*db, *query, QStringLiteral(VEXO_SAMPLES_DIR "/meet.csv"));
    EXPECT_EQ(counts.athletes, 60);
    EXPECT_EQ(counts.events, 12);
    EXPECT_EQ(counts.records, 57);
    EXPECT_EQ(counts.pbests, 115);
    EXPECT_EQ(count("athletes"), 60);
    EXPECT_EQ(count("event"), 12);
    EXPECT_EQ(count("record"), 57);
    EXPECT_EQ(count("pb"), 115);
    EXPECT_EQ(count("races") + count("result"), 0);
    EXPECT_EQ(scalar("select surname from athletes where number = 202").toString(), QStringLiteral("O'Brien"));
    EXPECT_EQ(scalar("select surname from athletes where number = 204").toString(), QStringLiteral("M\u00fcller"));
    EXPECT_EQ(scalar("select count(distinct gender) from athletes").toInt(), 2);

    // The official maps the timer unit's code on the Events page.
    exec("update event set tg_event = 'EV03' where event = '100M'");
    const QDate day(2025, 6, 14);
    const qint32 sprint = receive(QDateTime(day, QTime(10, 42)),
                                  "10:42,14/06/25,17,LANE,U12G,EV03,,1,1,13.81,B01,2,14.22,B02,3,14.35,B03,"
                                  "4,14.52,B04,5,14.59,B05,6,15.02,B06,7,15.10,B07,\r\n");
    const qint32 late = receive(QDateTime(day, QTime(23, 59)),
                                "23:59,14/06/25,42,LANE,U17G,200M,,2,1,25.48,B01,2,25.90,B02,3,26.31,B03,"
                                "4,27.05,B04,5,00.00,B05,\r\n");
    const int sprinters[] = {201, 205, 202, 203, 204, 206, 207};
    for (int place = 1; place <= 7; ++place)
        scan(sprint, QByteArray::number(place).constData(), sprinters[place - 1]);
    scan(late, "1", 501);
    scan(late, "2", 507);
    scan(late, "3", 504);

    const QString path = dir.filePath(QStringLiteral("results.csv"));
    ExportResults(*query, path);
    EXPECT_EQ(readFile(path), readFile(QStringLiteral(VEXO_EXCHANGE_DATA "/meet-results.csv")));
}
