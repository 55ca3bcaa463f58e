// Race data reception end to end: a timer unit on a pseudo-terminal, the
// real main window, and the rows the race texts become. Framing is checked
// fast by driving the quiet timer by hand; a few tests keep the real 2000 ms.

#include "LinkFixture.h"

#include <QElapsedTimer>

#include <atomic>
#include <thread>

namespace {

// 40 characters, two timed places.
const QByteArray fortyCharacters = "0,0,7,L,U12G,100M,,,1,12.34,A,2,12.56,B,";

// A multi-line race: age group U12G, event 100M, race 12, two places.
const QList<QByteArray> multiLineRace = {"U12G   100M\r\n", "RACE 012\r\n", "01  12.34    L1\r\n",
                                         "02  12.56    L2\r\n"};

QByteArray singleLineRace(int number, int places)
{
    QByteArray text = "00:00,01/01/00," + QByteArray::number(number) + ",LANE,U12G,100M,,1,";
    for (int place = 1; place <= places; ++place)
        text += QByteArray::number(place) + ",12." + QByteArray::number(10 + place) + ",B"
                + QByteArray::number(place) + ',';
    return text + "\r\n";
}

class Reception : public LinkFixture {
protected:
    void begin(Clock clock, const std::map<QByteArray, QByteArray>& coms = {})
    {
        ASSERT_NO_FATAL_FAILURE(start(clock, coms));
        ASSERT_TRUE(main->comPortA->Connected());
        // An earlier race, so that "the new race is current" means a move.
        sql("INSERT INTO races (race_id_pk, number, event, completed, age, gender) VALUES (1, 1, '100M', 0, 12, 'F')");
        main->RaceTable().Refresh();
        main->RaceTable().First();
    }

    void sql(const QString& statement)
    {
        QSqlQuery q(main->database().connection());
        ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
    }

    // Sends and waits until port A's handler has taken it in.
    void deliver(const QByteArray& chunk, qsizetype bufferedAfter)
    {
        ASSERT_TRUE(unitA->send(chunk));
        ASSERT_TRUE(eventually([&] { return main->rxDataA.size() == bufferedAfter; }))
            << "buffer holds " << main->rxDataA.size();
    }

    int currentRaceNumber()
    {
        DataSet& races = main->RaceTable();
        return races.value(races.RecNo(), races.fieldIndex("number")).toInt();
    }
};

TEST_F(Reception, SingleLineInOneChunkIsProcessedAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    ASSERT_EQ(fortyCharacters.size(), 40);
    ASSERT_TRUE(unitA->send(fortyCharacters + "\r\n"));
    ASSERT_TRUE(eventually([&] { return races() == 2; }));

    EXPECT_EQ(logEntries(), (QList<std::pair<QString, int>>{{QString::fromUtf8(fortyCharacters), 40}}));
    EXPECT_EQ(results(), 2);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM result r JOIN races a ON a.race_id_pk = r.race_id_pk WHERE a.number = 7"), 2);
    EXPECT_EQ(currentRaceNumber(), 7);
    EXPECT_TRUE(main->rxDataA.isEmpty());
    EXPECT_FALSE(main->rxDataTimer1->isActive());
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(Reception, ALineInThreeChunksWaitsForItsLineEnd)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    deliver(fortyCharacters.left(15), 15);
    deliver(fortyCharacters.mid(15), 40);
    EXPECT_TRUE(logEntries().isEmpty());
    EXPECT_FALSE(main->rxDataTimer1->isActive());

    ASSERT_TRUE(unitA->send("\r\n"));
    ASSERT_TRUE(eventually([&] { return races() == 2; }));
    EXPECT_EQ(logEntries().size(), 1);
    EXPECT_EQ(results(), 2);
    EXPECT_FALSE(main->rxDataTimer1->isActive());
}

TEST_F(Reception, CarriageReturnArmsTheTimerAndTheLineFeedProcessesAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    deliver(fortyCharacters + '\r', 41);
    EXPECT_TRUE(main->rxDataTimer1->isActive());
    EXPECT_TRUE(logEntries().isEmpty());

    ASSERT_TRUE(unitA->send("\n"));
    ASSERT_TRUE(eventually([&] { return logEntries().size() == 1; }));
    EXPECT_EQ(races(), 2);
    // The timer set by the carriage return still runs, and finds nothing.
    EXPECT_TRUE(main->rxDataTimer1->isActive());
    main->rxDataTimer1Timer();
    EXPECT_EQ(logEntries().last(), std::make_pair(QString(), 0));
    EXPECT_FALSE(main->rxDataTimer1->isActive());
    EXPECT_EQ(races(), 2);
}

TEST_F(Reception, CarriageReturnThenLineFeedLogsTheEmptyEntryTwoSecondsAfterTheFirst)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::Real));
    QElapsedTimer sinceCarriageReturn;
    sinceCarriageReturn.start();
    ASSERT_TRUE(unitA->send(fortyCharacters + '\r'));
    ASSERT_TRUE(eventually([&] { return main->rxDataTimer1->isActive(); }));
    ASSERT_TRUE(unitA->send("\n"));
    ASSERT_TRUE(eventually([&] { return logEntries().size() == 1; }));

    ASSERT_TRUE(eventually([&] { return logEntries().size() == 2; }));
    EXPECT_GE(sinceCarriageReturn.elapsed(), 2000);
    EXPECT_EQ(logEntries().last(), std::make_pair(QString(), 0));
    EXPECT_EQ(races(), 2);
}

TEST_F(Reception, EachLineEndOfAMultiLineRaceRearmsTheTimer)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    qsizetype buffered = 0;
    for (const QByteArray& line : multiLineRace) {
        // Stopped by hand: only a chunk with a line end can start it again.
        main->rxDataTimer1->stop();
        deliver(line.chopped(2), buffered += line.size() - 2);
        EXPECT_FALSE(main->rxDataTimer1->isActive());
        deliver("\r\n", buffered += 2);
        EXPECT_TRUE(main->rxDataTimer1->isActive());
    }
    EXPECT_TRUE(logEntries().isEmpty());

    main->rxDataTimer1Timer();
    EXPECT_EQ(logEntries().size(), 1);
    EXPECT_EQ(rows("SELECT COUNT(*) FROM races WHERE number = 12 AND mode = 'MULTI' AND age = 12 AND gender = 'F'"), 1);
    EXPECT_EQ(results(), 2);
    EXPECT_EQ(currentRaceNumber(), 12);
    EXPECT_TRUE(main->rxDataA.isEmpty());
}

TEST_F(Reception, AMultiLineRaceOverOneAndAHalfSecondsIsProcessedOnceTwoSecondsAfterItsLastLine)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::Real));
    QElapsedTimer sinceLastLine;
    qsizetype buffered = 0;
    for (qsizetype i = 0; i < multiLineRace.size(); ++i) {
        if (i > 0)
            QTest::qWait(500);
        sinceLastLine.start();
        deliver(multiLineRace[i], buffered += multiLineRace[i].size());
    }
    ASSERT_TRUE(eventually([&] { return races() == 2; }));
    EXPECT_GE(sinceLastLine.elapsed(), 2000);
    EXPECT_EQ(logEntries().size(), 1);
    EXPECT_EQ(results(), 2);
}

TEST_F(Reception, ATextFailingOnItsThirdPlaceKeepsTheRaceAndTwoResults)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    ASSERT_TRUE(unitA->send("00:00,01/01/00,9,LANE,U12G,100M,,1,1,12.34,B1,2,12.56,B2,3,12.3..4,B3,4,13.00,B4,\r\n"));
    ASSERT_TRUE(eventually([&] { return !ui.errors.isEmpty(); }));
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("Failed to Read race data correctly\n")) << ui.errors[0].toStdString();
    EXPECT_GT(ui.errors[0].size(), QString("Failed to Read race data correctly\n").size());
    EXPECT_EQ(rows("SELECT COUNT(*) FROM races WHERE number = 9"), 1);
    EXPECT_EQ(results(), 2);
    EXPECT_TRUE(main->rxDataA.isEmpty());
    EXPECT_EQ(currentRaceNumber(), 9);

    // The link goes on receiving.
    ASSERT_TRUE(unitA->send(singleLineRace(10, 3)));
    ASSERT_TRUE(eventually([&] { return races() == 3; }));
    EXPECT_EQ(results(), 5);
}

TEST_F(Reception, BackToBackRacesInOneChunkAreStoredOneByOne)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    // A multi-line race after two single-line ones waits for the quiet link.
    QByteArray chunk = singleLineRace(31, 2) + singleLineRace(32, 3);
    for (const QByteArray& line : multiLineRace)
        chunk += line;
    ASSERT_TRUE(unitA->send(chunk));
    ASSERT_TRUE(eventually([&] { return races() == 3; }));
    EXPECT_TRUE(main->rxDataTimer1->isActive());
    main->rxDataTimer1Timer();

    EXPECT_EQ(races(), 4);
    EXPECT_EQ(results(), 2 + 3 + 2);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(logEntries().size(), 3);
}

TEST_F(Reception, MultiLineRaceWithALongFirstLineInOneChunkIsStoredWhole)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    // Its first line feed stands after position 25: processed at once, and
    // whole, since its first line is no comma-separated race.
    ASSERT_TRUE(unitA->send("U12G   100M   H03 Final, wind +1.2\r\nRACE 014\r\n01  12.34    L1\r\n02  12.56    L2\r\n"));
    ASSERT_TRUE(eventually([&] { return races() == 2; }));
    EXPECT_EQ(results(), 2);
    EXPECT_EQ(currentRaceNumber(), 14);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(logEntries().size(), 1);
}

TEST_F(Reception, PortsAAndBReceivingAtTheSameTimeNeverMix)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand, {{"dualComPorts", "1"}}));
    ASSERT_TRUE(main->comPortB->Connected());
    const QByteArray a = singleLineRace(21, 3);
    const QByteArray b = singleLineRace(22, 4);
    for (qsizetype at = 0; at < b.size(); at += 7) {
        ASSERT_TRUE(unitA->send(a.mid(at, 7)));
        ASSERT_TRUE(unitB->send(b.mid(at, 7)));
        QTest::qWait(1);
    }
    ASSERT_TRUE(eventually([&] { return races() == 3; }));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    const QString perRace = "SELECT COUNT(*) FROM result r JOIN races a ON a.race_id_pk = r.race_id_pk WHERE a.number = %1";
    EXPECT_EQ(rows(perRace.arg(21)), 3);
    EXPECT_EQ(rows(perRace.arg(22)), 4);
    QStringList logged;
    for (const auto& [text, length] : logEntries())
        logged << text;
    logged.sort();
    EXPECT_EQ(logged, (QStringList{QString::fromUtf8(a.trimmed()), QString::fromUtf8(b.trimmed())}));
}

class Burst : public Reception, public ::testing::WithParamInterface<bool> {};

TEST_P(Burst, ALongBurstAt115200IsStoredCompletely)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::Real, {{"baud", "115200"}}));
    ASSERT_EQ(main->comPortA->BaudRate(), br115200);
    const bool backToBack = GetParam();
    constexpr int count = 150;
    constexpr int places = 8;
    QByteArray all;
    for (int number = 1; number <= count; ++number) {
        const QByteArray race = singleLineRace(100 + number, places);
        if (backToBack) {
            all += race;
        } else {
            // Paced as the timer unit sends when each race finishes.
            ASSERT_TRUE(unitA->send(race));
            QTest::qWait(1);
        }
    }
    // Several kilobytes at once, far more than one read returns, written
    // from another thread: the line fills up until the window has read it.
    std::atomic<bool> sent {!backToBack};
    std::thread writer([&] {
        if (backToBack)
            sent = unitA->send(all);
    });
    const bool stored = eventually([&] { return races() == count + 1; }, 60000);
    writer.join();
    ASSERT_TRUE(sent);
    ASSERT_TRUE(stored) << races();
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(results(), count * places);
    EXPECT_EQ(rows("SELECT COUNT(DISTINCT number) FROM races WHERE number > 100"), count);
    EXPECT_EQ(logEntries().size(), count);
    EXPECT_EQ(currentRaceNumber(), 100 + count);
}

INSTANTIATE_TEST_SUITE_P(Reception, Burst, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "BackToBack" : "Paced"; });

} // namespace
