// A meet's worth of races through the real main window: single-line and
// multi-line races from the simulator's own texts, one in twenty garbled,
// in chunks of random size with random pauses, some shorter and some
// longer than the quiet interval, and every error box left open while the
// next races arrive. What is stored must be exactly what the framing rules
// predict: no race lost, doubled or cut.
//
// The quiet interval is driven by hand: a pause longer than it is the test
// firing the quiet timer once the chunks before it have been read. So the
// run depends on no timing luck and takes seconds. VEXO_SOAK_RACES sets
// the number of races (default 400), VEXO_SOAK_SEED the random seed.

#include "LinkFixture.h"

#include "timer-sim/RaceTexts.h"

#include <QSqlQuery>

#include <iostream>

#include <random>
#include <vector>

namespace {

int fromEnvironment(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// One race as the rules predict it is stored: its number and its places,
// or not stored at all.
struct Expected {
    QByteArray text;
    int number = 0;
    int places = 0;
    bool stored = true;
    bool refused = false;
};

// A step of the run: write bytes, or let the link be quiet for longer than
// the quiet interval.
struct Step {
    QByteArray bytes;
    bool longPause = false;
};

class ReceptionSoak : public LinkFixture {
protected:
    // Runs the steps up to until; called again from inside an open error
    // box, so that later races arrive while it stays open.
    void run(std::size_t until)
    {
        while (next < until && !::testing::Test::HasFatalFailure()) {
            const Step& step = steps[next++];
            if (!step.longPause) {
                ASSERT_TRUE(unitA->send(step.bytes));
                sent += step.bytes.size();
                // Bytes left unread are few: the test writes on the thread
                // that reads them.
                if (sent - main->rxDataA.received() > 512 || random() % 4 == 0) {
                    ASSERT_NO_FATAL_FAILURE(waitUntilRead());
                }
                continue;
            }
            // A box opened while waiting runs the next steps itself: then
            // the link was not quiet here after all.
            const std::size_t pauseAt = next;
            ASSERT_NO_FATAL_FAILURE(waitUntilRead());
            if (next == pauseAt && main->rxDataTimer1->isActive())
                main->rxDataTimer1Timer();
        }
    }

    void waitUntilRead()
    {
        ASSERT_TRUE(eventually([&] { return main->rxDataA.received() == sent; }))
            << main->rxDataA.received() << " of " << sent << " bytes read";
    }

    std::size_t random() { return generator(); }

    std::mt19937 generator;
    std::vector<Step> steps;
    std::size_t next = 0;
    qint64 sent = 0;
};

TEST_F(ReceptionSoak, EveryRaceIsStoredOnceWholeOrRefusedAsTheRulesSay)
{
    const int count = fromEnvironment("VEXO_SOAK_RACES", 400);
    generator.seed(static_cast<std::mt19937::result_type>(fromEnvironment("VEXO_SOAK_SEED", 20261209)));
    ASSERT_NO_FATAL_FAILURE(start(Clock::ByHand));
    ASSERT_TRUE(main->comPortA->Connected());

    std::vector<Expected> expected;
    for (int i = 0; i < count; ++i) {
        TimerUnitRace race;
        race.number = i % 999 + 1;
        race.places = int(random() % 12) + 1;
        race.untimedPlaces = int(random() % 3 == 0 ? random() % std::size_t(race.places) : 0);
        race.heat = int(random() % 10);
        race.ctkLine = random() % 2 == 0;
        const RaceForm form = random() % 2 ? RaceForm::SingleLine : RaceForm::MultiLine;
        const bool garbled = random() % 20 == 0;
        const QByteArray text = garbled ? garbledRaceText(race, form) : raceText(race, form);
        const bool multi = form == RaceForm::MultiLine;

        Expected e;
        e.text = text;
        e.number = race.number;
        e.places = race.places + (multi && race.ctkLine ? 1 : 0);
        if (garbled) {
            e.refused = true;
            e.stored = multi; // a garbled place: the race without places
            e.places = 0;
        }
        expected.push_back(e);

        // Chunks of 1 to 64 bytes. A multi-line race may pause for longer
        // than the quiet interval only after its last line; a single-line
        // race anywhere, since only its line feed or a quiet link after
        // its carriage return ends it.
        for (qsizetype at = 0; at < text.size();) {
            const qsizetype size = std::min<qsizetype>(qsizetype(random() % 64) + 1, text.size() - at);
            steps.push_back({text.mid(at, size)});
            at += size;
            if (at < text.size() && !multi && random() % 10 == 0)
                steps.push_back({{}, true});
        }
        if (random() % 3 == 0)
            steps.push_back({{}, true});
    }
    steps.push_back({{}, true});

    // Each box stays open for a random number of the steps after it.
    int boxes = 0;
    ui.whileErrorOpen = [&](const QString&) {
        ++boxes;
        run(std::min(steps.size(), next + random() % 40));
    };
    ASSERT_NO_FATAL_FAILURE(run(steps.size()));
    ASSERT_TRUE(eventually([&] { return next == steps.size(); }));
    ASSERT_NO_FATAL_FAILURE(waitUntilRead());
    if (main->rxDataTimer1->isActive())
        main->rxDataTimer1Timer();
    QTest::qWait(10);
    ui.whileErrorOpen = nullptr;

    // The races stored, in the order they came, with their places.
    QList<std::pair<int, int>> stored;
    QSqlQuery q(main->database().connection());
    ASSERT_TRUE(q.exec("SELECT a.number, (SELECT COUNT(*) FROM result r WHERE r.race_id_pk = a.race_id_pk) "
                       "FROM races a ORDER BY a.race_id_pk"));
    while (q.next())
        stored.append({q.value(0).toInt(), q.value(1).toInt()});
    QList<std::pair<int, int>> predicted;
    QList<QByteArray> predictedTexts;
    int refused = 0;
    for (const Expected& e : expected) {
        if (e.stored) {
            predicted.append({e.number, e.places});
            predictedTexts.append(e.text);
        }
        refused += e.refused ? 1 : 0;
    }
    for (qsizetype i = 0; i < std::min(stored.size(), predicted.size()); ++i) {
        if (stored[i] != predicted[i]) {
            QFile file(main->raceJournal.fileName());
            file.open(QIODevice::ReadOnly);
            const QByteArray all = file.readAll();
            const qsizetype at = all.indexOf("RACE " + QByteArray::number(predicted[i].first).rightJustified(3, '0'));
            std::cout << all.mid(std::max<qsizetype>(0, at - 1200), 2400).constData() << "\n";
        }
        ASSERT_EQ(stored[i], predicted[i]) << "race " << i + 1 << " of those stored:\n" << predictedTexts[i].constData();
    }
    ASSERT_EQ(stored.size(), predicted.size());
    EXPECT_EQ(ui.errors.size(), refused);
    EXPECT_EQ(boxes, refused);
    EXPECT_EQ(main->comsMemo->toPlainText().count(QStringLiteral(">Len=")), count);
    EXPECT_TRUE(main->rxDataA.pending().isEmpty());
    EXPECT_FALSE(main->rxDataTimer1->isActive());
    std::cout << "[          ] " << count << " races, " << refused << " garbled, " << steps.size() << " steps\n";
}

} // namespace
