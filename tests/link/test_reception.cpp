// Race data reception end to end: a timer unit on a pseudo-terminal, the
// real main window, and the rows the race texts become. The quiet timer is
// driven by hand. When a text is complete is the framing's own rule, tested
// on a fake clock in test_race_framing.cpp; here what needs a real port:
// one scenario of chunks, boxes left open while the link goes on, two
// ports at once, and a long burst.

#include "LinkFixture.h"
#include "SampleRaces.h"

#include "entry/Racedetailsdialog.h"
#include "link/RaceTextDialog.h"
#include "shell/QtUiServices.h"
#include "store/RaceText.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>

#include <atomic>
#include <thread>

namespace {

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
        ASSERT_TRUE(eventually([&] { return main->rxDataA.pending().size() == bufferedAfter; }))
            << "buffer holds " << main->rxDataA.pending().size();
    }

    // The places stored for race number, in place order.
    QList<double> times(int number)
    {
        QSqlQuery q(main->database().connection());
        q.exec(QStringLiteral("SELECT r.value FROM result r JOIN races a ON a.race_id_pk = r.race_id_pk "
                              "WHERE a.number = %1 ORDER BY r.result_id_pk")
                   .arg(number));
        QList<double> out;
        while (q.next())
            out << q.value(0).toDouble();
        return out;
    }
    int racesNumbered(int number) { return count(QStringLiteral("races WHERE number = %1").arg(number)); }

    QByteArray journal() const
    {
        QFile file(dir.filePath("VEXO_COMS.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    int currentRaceNumber()
    {
        DataSet& races = main->RaceTable();
        return races.value(races.RecNo(), races.fieldIndex("number")).toInt();
    }
};

// Chunks through the real port, framed as the rules say (their cases are
// in test_race_framing.cpp): the quiet timer follows the framing, armed
// for the quiet interval by a line end and stopped when nothing waits for
// it, and each text becomes its race on the Races page.
TEST_F(Reception, ChunksThroughThePortBecomeRacesWhenTheirTextIsComplete)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    ASSERT_EQ(fortyCharacters.size(), 40);
    // A single-line race in chunks: nothing before its line end,
    deliver(fortyCharacters.left(15), 15);
    deliver(fortyCharacters.mid(15), 40);
    EXPECT_TRUE(logEntries().isEmpty());
    EXPECT_FALSE(main->rxDataTimer1->isActive());
    // its carriage return arms the quiet timer,
    deliver("\r", 41);
    EXPECT_TRUE(main->rxDataTimer1->isActive());
    EXPECT_EQ(main->rxDataTimer1->interval(), neverMs);
    EXPECT_TRUE(logEntries().isEmpty());
    // and its line feed stores it at once and stops the timer.
    ASSERT_TRUE(unitA->send("\n"));
    ASSERT_TRUE(eventually([&] { return races() == 2; }));
    EXPECT_EQ(logEntries(), (QList<std::pair<QString, int>>{{QString::fromUtf8(fortyCharacters), 40}}));
    EXPECT_EQ(results(), 2);
    EXPECT_EQ(times(7).size(), 2);
    EXPECT_EQ(currentRaceNumber(), 7);
    EXPECT_TRUE(main->rxDataA.pending().isEmpty());
    EXPECT_FALSE(main->rxDataTimer1->isActive());

    // A multi-line race whose first line feed stands after position 25,
    // each line in two chunks, its last line without a line end: each line
    // end arms the timer, and its firing stores the race whole.
    const QList<QByteArray> lines = {"U12G   100M   H03 Final, wind +1.2\r\n", "RACE 011\r\n", "01  12.34    L1\r\n",
                                     "02  12.56    L2"};
    qsizetype buffered = 0;
    for (const QByteArray& line : lines) {
        const bool armed = buffered > 0;
        deliver(line.left(5), buffered += 5);
        EXPECT_EQ(main->rxDataTimer1->isActive(), armed);
        deliver(line.mid(5), buffered += line.size() - 5);
        EXPECT_TRUE(main->rxDataTimer1->isActive());
    }
    EXPECT_EQ(logEntries().size(), 1);
    main->rxDataTimer1Timer();
    EXPECT_EQ(logEntries().size(), 2);
    EXPECT_EQ(number("SELECT COUNT(*) FROM races WHERE number = 11 AND mode = 'MULTI' AND age = 12 AND gender = 'F'"), 1);
    EXPECT_EQ(times(11), (QList<double>{12.34, 12.56}));
    EXPECT_EQ(currentRaceNumber(), 11);
    EXPECT_TRUE(main->rxDataA.pending().isEmpty());
    EXPECT_FALSE(main->rxDataTimer1->isActive());

    // A timer unit resending its memory: multi-line races back to back,
    // first lines shorter and longer than 15 characters, second lines of
    // several forms. Each is stored once the next has begun, the last when
    // the link is quiet.
    ASSERT_TRUE(unitA->send(shortFirst + longFirst + third));
    ASSERT_TRUE(eventually([&] { return races() == 5; }));
    EXPECT_TRUE(main->rxDataTimer1->isActive());
    main->rxDataTimer1Timer();
    EXPECT_EQ(races(), 6);
    EXPECT_EQ(times(12), (QList<double>{12.34, 12.56}));
    EXPECT_EQ(times(13), (QList<double>{12.04, 12.35, 12.75, 99999}));
    EXPECT_EQ(times(14), (QList<double>{25.10}));
    EXPECT_EQ(number("SELECT COUNT(*) FROM races WHERE number = 13 AND age = 9 AND gender = 'M' AND event = 'EV03'"), 1);
    EXPECT_EQ(number("SELECT COUNT(*) FROM races WHERE number = 14 AND age = 14 AND heat = 2"), 1);
    EXPECT_EQ(logEntries().size(), 5);

    // Single-line races and a multi-line one in one chunk: each single-line
    // race at once, the multi-line one when the link is quiet.
    const int resultsBefore = results();
    ASSERT_TRUE(unitA->send(singleLineRace(31, 2) + singleLineRace(32, 3) + QByteArray(shortFirst).replace("012", "033")));
    ASSERT_TRUE(eventually([&] { return races() == 8; }));
    EXPECT_TRUE(main->rxDataTimer1->isActive());
    main->rxDataTimer1Timer();
    EXPECT_EQ(races(), 9);
    EXPECT_EQ(results(), resultsBefore + 2 + 3 + 2);
    EXPECT_EQ(logEntries().size(), 8);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(Reception, ATextWaitingAtExitIsStoredAndALineThatNeverEndsIsRefused)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    // Closing while a line waits for its line end: it is stored, not dropped.
    const QByteArray race14 = singleLineRace(14, 2).chopped(2);
    deliver(race14, race14.size());
    main->flushWaitingTexts();
    EXPECT_EQ(times(14).size(), 2);
    EXPECT_TRUE(journal().contains(race14)) << journal().constData();
    EXPECT_TRUE(main->rxDataA.pending().isEmpty());
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();

    // A line that never ends is refused, journalled, once past its bound.
    // Written from another thread: the line fills up until the window reads it.
    std::atomic<bool> sent {false};
    std::thread writer([&] { sent = unitA->send(QByteArray(RaceLayout::longestLine + 1, 'x')); });
    const bool refused = eventually([&] { return ui.errors.size() == 1; });
    writer.join();
    ASSERT_TRUE(sent);
    ASSERT_TRUE(refused);
    EXPECT_TRUE(ui.errors[0].contains("characters, longer than any race line")) << ui.errors[0].left(300).toStdString();
    EXPECT_TRUE(journal().contains("--- refused: Failed to Read race data correctly The race text has a line of 65537"));
    EXPECT_TRUE(main->rxDataA.pending().isEmpty());
}

TEST_F(Reception, ARaceStoredInPartIsToldSoAndProcessAgainReplacesIt)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    const QByteArray text = "00:00,01/01/00,9,LANE,U12G,100M,,1,1,12.34,B1,2,12.56,B2,3,12.3..4,B3,4,13.00,B4,\r\n";
    ASSERT_TRUE(unitA->send(text));
    ASSERT_TRUE(eventually([&] { return !ui.errors.isEmpty(); }));
    ASSERT_EQ(ui.errors.size(), 1);
    const QByteArray told = "race 9 stored with 2 of 4 places; place 3 could not be read: '3..4' is not a valid "
                            "floating point value";
    EXPECT_TRUE(ui.errors[0].startsWith(told + '\n')) << ui.errors[0].toStdString();
    EXPECT_EQ(racesNumbered(9), 1);
    EXPECT_EQ(results(), 2);
    EXPECT_TRUE(main->rxDataA.pending().isEmpty());
    EXPECT_EQ(currentRaceNumber(), 9);
    const int key = number("SELECT race_id_pk FROM races WHERE number = 9");
    EXPECT_TRUE(journal().contains("--- stored in part (key " + QByteArray::number(key) + "): " + told + '\n'))
        << journal().constData();
    // Place 1 is scanned meanwhile, and the link goes on receiving.
    sql(QStringLiteral("UPDATE result SET athlete_number = 101 WHERE race_id_pk = %1 AND place = '1'").arg(key));
    ASSERT_TRUE(unitA->send(singleLineRace(10, 3)));
    ASSERT_TRUE(eventually([&] { return races() == 3; }));
    EXPECT_EQ(results(), 5);

    // Mended by hand, the text replaces the race: its key and its scan stay,
    // and the race details window open on it shows its places.
    TRaceDetailsForm* details = windows->raceDetailsForm;
    details->openForRace(key, QStringLiteral("Race 9"));
    ASSERT_EQ(details->resultTable().RecordCount(), 2);
    QString offered;
    ui.dialogAnswers.enqueue([&](QDialog& dialog) {
        auto* box = static_cast<TRaceTextDialog&>(dialog).meRaceText;
        offered = box->toPlainText();
        box->setPlainText(offered.replace(QStringLiteral("12.3..4"), QStringLiteral("12.84")));
        return true;
    });
    main->btnProcessAgain->click();
    EXPECT_EQ(offered, QString::fromUtf8(text.trimmed()).replace(QStringLiteral("12.3..4"), QStringLiteral("12.84")));
    EXPECT_EQ(racesNumbered(9), 1);
    EXPECT_EQ(number("SELECT race_id_pk FROM races WHERE number = 9"), key);
    EXPECT_EQ(times(9), (QList<double>{12.34, 12.56, 12.84, 13.00}));
    EXPECT_EQ(number(QStringLiteral("SELECT COUNT(*) FROM result WHERE race_id_pk = %1 AND athlete_number = 101").arg(key)), 1);
    EXPECT_EQ(results(), 7);
    EXPECT_EQ(details->resultTable().RecordCount(), 4);
    EXPECT_EQ(ui.errors.size(), 1) << ui.errors.join('\n').toStdString();

    // Mended, it is offered no more.
    int offeredTexts = -1;
    ui.dialogAnswers.enqueue([&](QDialog& dialog) {
        offeredTexts = static_cast<TRaceTextDialog&>(dialog).cbRaceTexts->count();
        return false;
    });
    main->btnProcessAgain->click();
    EXPECT_EQ(offeredTexts, 0);
}

TEST_F(Reception, ProcessAgainOffersEveryTextStillToMendNewestFirst)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    const QByteArray first = "00:00,01/01/00,1O,LANE,U12G,100M,,1,1,12.34,B1,\r\n";
    const QByteArray partial = "00:00,01/01/00,11,LANE,U12G,100M,,1,1,12.34,B1,2,12.3..4,B2,\r\n";
    const QByteArray duringDialog = "00:00,01/01/00,1Z,LANE,U12G,100M,,1,1,12.34,B1,\r\n";
    ASSERT_TRUE(unitA->send(first));
    ASSERT_TRUE(eventually([&] { return ui.errors.size() == 1; }));
    QTest::qWait(2); // the journal tells texts apart to the millisecond
    ASSERT_TRUE(unitA->send(partial));
    ASSERT_TRUE(eventually([&] { return ui.errors.size() == 2; }));

    // Each offered text, as the dialog shows it when chosen.
    const auto offeredTexts = [](TRaceTextDialog& dialog) {
        QStringList texts;
        for (int i = 0; i < dialog.cbRaceTexts->count(); ++i) {
            dialog.cbRaceTexts->setCurrentIndex(i);
            texts << dialog.meRaceText->toPlainText();
        }
        return texts;
    };
    QStringList offered;
    ui.dialogAnswers.enqueue([&](QDialog& d) {
        auto& dialog = static_cast<TRaceTextDialog&>(d);
        offered = offeredTexts(dialog);
        // A text refused while the dialog is open.
        EXPECT_TRUE(unitA->send(duringDialog));
        EXPECT_TRUE(eventually([&] { return ui.errors.size() == 3; }));
        dialog.cbRaceTexts->setCurrentIndex(1);
        dialog.meRaceText->setPlainText(dialog.meRaceText->toPlainText().replace(QStringLiteral(",1O,"), QStringLiteral(",10,")));
        return true;
    });
    main->btnProcessAgain->click();
    EXPECT_EQ(offered, (QStringList{QString::fromUtf8(partial.trimmed()), QString::fromUtf8(first.trimmed())}));
    EXPECT_EQ(racesNumbered(10), 1);

    ui.dialogAnswers.enqueue([&](QDialog& d) {
        offered = offeredTexts(static_cast<TRaceTextDialog&>(d));
        return false;
    });
    main->btnProcessAgain->click();
    EXPECT_EQ(offered, (QStringList{QString::fromUtf8(duringDialog.trimmed()), QString::fromUtf8(partial.trimmed())}));
}

TEST_F(Reception, ARaceArrivingLeavesAnEditOnTheRacesPageOpenAndShowsOnceItEnds)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    DataSet& page = main->RaceTable();
    page.Edit();
    page.setFieldValue("event", QStringLiteral("200M"));
    ASSERT_TRUE(unitA->send(singleLineRace(8, 2)));
    ASSERT_TRUE(eventually([&] { return racesNumbered(8) == 1; }));
    QTest::qWait(5);
    EXPECT_EQ(page.state(), DataSet::State::Edit);
    EXPECT_EQ(page.FieldByName("event").AsString(), "200M");
    EXPECT_EQ(number("SELECT COUNT(*) FROM races WHERE event = '200M'"), 0) << "the edit was posted by the race";
    EXPECT_EQ(page.RecordCount(), 1);

    page.Post();
    main->watchOtherStations();
    EXPECT_EQ(page.RecordCount(), 2);
    EXPECT_EQ(number("SELECT COUNT(*) FROM races WHERE event = '200M'"), 1);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(Reception, AGoodRaceIsStoredWhileTheBoxOfARefusedOneStaysOpen)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    const QByteArray refusedLine = "00:00,01/01/00,4X,LANE,U12G,100M,,1,1,12.34,B1,\r\n";
    const QByteArray refusedBlock = "U12G   100M\r\nRACE 0X5\r\n01  12.34    L1\r\n";
    const QByteArray goodBlock = "U12G   100M\r\nRACE 016\r\n01  12.34    L1\r\n02  12.56    L2\r\n";

    // While each box is open the port goes on being read and the next
    // text, framed on its own, is stored: a single-line race under the box
    // of a text refused at once, a multi-line one under the box raised by
    // the quiet timer.
    int openBoxes = 0;
    ui.whileErrorOpen = [&](const QString&) {
        ++openBoxes;
        if (openBoxes == 1) {
            ASSERT_TRUE(unitA->send(singleLineRace(7, 3)));
            EXPECT_TRUE(eventually([&] { return racesNumbered(7) == 1; }, 5000));
            ASSERT_TRUE(unitA->send(refusedBlock));
            ASSERT_TRUE(eventually([&] { return main->rxDataTimer1->isActive(); }, 5000));
            main->rxDataTimer1Timer();
        } else if (openBoxes == 2) {
            ASSERT_TRUE(unitA->send(goodBlock));
            ASSERT_TRUE(eventually([&] { return main->rxDataTimer1->isActive(); }, 5000));
            // The timer fires again while its own box is open.
            main->rxDataTimer1Timer();
            EXPECT_EQ(racesNumbered(16), 1);
        }
    };
    ASSERT_TRUE(unitA->send(refusedLine));
    ASSERT_TRUE(eventually([&] { return !ui.errors.isEmpty(); }));
    ui.whileErrorOpen = nullptr;
    main->rxDataTimer1Timer();
    QTest::qWait(20);

    EXPECT_EQ(ui.errors.size(), 2) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(races(), 3);
    EXPECT_EQ(times(7).size(), 3);
    EXPECT_EQ(times(16), (QList<double>{12.34, 12.56}));
    // Each text was processed once: the two refused, the two stored.
    EXPECT_EQ(logEntries().size(), 4);
    EXPECT_EQ(main->lastRefusedText, refusedBlock);
}

TEST_F(Reception, TimesOfAMinuteAndMoreAreReadEndToEnd)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    ASSERT_TRUE(unitA->send("00:00,01/01/00,31,LANE,U17B,800M,,1,1,125.30,B1,2,2:05.30,B2,3,9.87,B3,4,12.34,B4,\r\n"));
    ASSERT_TRUE(eventually([&] { return races() == 2; }));
    const QList<double> read = times(31);
    const QList<double> expected = {125.30, 125.30, 9.87, 12.34};
    ASSERT_EQ(read.size(), expected.size());
    for (qsizetype i = 0; i < read.size(); ++i)
        EXPECT_NEAR(read[i], expected[i], 1e-9) << "place " << i + 1;
}

TEST_F(Reception, AFailedCommitIsShownAndTheRestOfTheMeetIsStored)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    // The commit of race 41 breaks a deferred foreign key, as a full disk
    // breaks a commit: checked only at COMMIT, on the program's own
    // connection.
    sql("PRAGMA foreign_keys = ON");
    sql("CREATE TABLE parent (id INTEGER PRIMARY KEY)");
    sql("CREATE TABLE child (parent_id INTEGER REFERENCES parent (id) DEFERRABLE INITIALLY DEFERRED)");
    sql("CREATE TRIGGER breaks_commit AFTER INSERT ON races WHEN NEW.number = 41 "
        "BEGIN INSERT INTO child VALUES (999); END");

    ASSERT_TRUE(unitA->send(singleLineRace(41, 3)));
    ASSERT_TRUE(eventually([&] { return !ui.errors.isEmpty(); }));
    EXPECT_TRUE(ui.errors[0].startsWith("Failed to Read race data correctly\n")) << ui.errors[0].toStdString();
    EXPECT_EQ(racesNumbered(41), 0);

    ASSERT_TRUE(unitA->send(singleLineRace(42, 3) + singleLineRace(43, 2)));
    ASSERT_TRUE(eventually([&] { return racesNumbered(43) == 1; }));
    EXPECT_EQ(times(42).size(), 3);
    EXPECT_EQ(times(43).size(), 2);
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_FALSE(QSqlQuery(main->database().connection()).exec("COMMIT")) << "a transaction was left open";
}

TEST_F(Reception, ATextThatIsNotUtf8IsReadAsWindows1252)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    const QByteArray text = "00:00,01/01/00,51,LANE,U12G,100M,Caf\xE9,1,1,12.34,B1,\r\n";
    ASSERT_TRUE(unitA->send(text));
    ASSERT_TRUE(eventually([&] { return races() == 2; }));
    EXPECT_EQ(number("SELECT COUNT(*) FROM races WHERE number = 51 AND hf = 'Caf\u00e9'"), 1);
    ASSERT_EQ(logEntries().size(), 1);
    EXPECT_TRUE(logEntries()[0].first.contains(QStringLiteral("Caf\u00e9"))) << logEntries()[0].first.toStdString();
    // The journal keeps the byte as it came.
    EXPECT_TRUE(journal().contains(text)) << journal().constData();
}

TEST_F(Reception, ProcessAgainReadsTheMendedTextAsIfTheTimerUnitHadSentIt)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    // Nothing refused yet: the box is empty; Cancel does nothing.
    QString offered = "unset";
    ui.dialogAnswers.enqueue([&](QDialog& dialog) {
        offered = static_cast<TRaceTextDialog&>(dialog).meRaceText->toPlainText();
        return false;
    });
    main->btnProcessAgain->click();
    EXPECT_EQ(offered, QString());
    EXPECT_EQ(logEntries().size(), 0);

    const QByteArray garbled = "00:00,01/01/00,1O,LANE,U12G,100M,,1,1,12.34,B1,2,12.56,B2,\r\n";
    ASSERT_TRUE(unitA->send(garbled));
    ASSERT_TRUE(eventually([&] { return ui.errors.size() == 1; }));
    ui.dialogAnswers.enqueue([&](QDialog& dialog) {
        auto* box = static_cast<TRaceTextDialog&>(dialog).meRaceText;
        offered = box->toPlainText();
        box->setPlainText(box->toPlainText().replace(QStringLiteral(",1O,"), QStringLiteral(",10,")));
        return true;
    });
    main->btnProcessAgain->click();
    EXPECT_EQ(offered, QString::fromUtf8(garbled.trimmed()));
    EXPECT_EQ(times(10), (QList<double>{12.34, 12.56}));
    EXPECT_EQ(currentRaceNumber(), 10);
    EXPECT_EQ(logEntries().size(), 2);
    EXPECT_TRUE(main->lastRefusedText.isEmpty());
    EXPECT_TRUE(journal().contains(" hand, ")) << journal().constData();
    EXPECT_EQ(ui.errors.size(), 1);
    EXPECT_EQ(ui.dialogs, 2);
}

TEST_F(Reception, TheJournalKeepsEveryTextAsItCameAndWhatBecameOfIt)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    const QByteArray good = singleLineRace(61, 2);
    const QByteArray bad = "00:00,01/01/00,6?,LANE,U12G,100M,,1,\r\n";
    ASSERT_TRUE(unitA->send(good + bad));
    ASSERT_TRUE(eventually([&] { return ui.errors.size() == 1; }));

    const QByteArray written = journal();
    static const QRegularExpression header("^=== \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} port A, (\\d+) bytes$",
                                           QRegularExpression::MultilineOption);
    auto it = header.globalMatch(QString::fromUtf8(written));
    QList<int> lengths;
    while (it.hasNext())
        lengths << it.next().captured(1).toInt();
    EXPECT_EQ(lengths, (QList<int>{int(good.size()), int(bad.size())})) << written.constData();
    const qint32 key = number("SELECT race_id_pk FROM races WHERE number = 61");
    EXPECT_TRUE(written.contains(" bytes\n" + good + "--- stored as race 61 (key " + QByteArray::number(key)
                                 + "), 2 places\n"))
        << written.constData();
    EXPECT_TRUE(written.contains(" bytes\n" + bad + "--- refused: Failed to Read race data correctly "))
        << written.constData();

    // Past its size the journal starts again; the one before is kept once.
    QFile file(main->raceJournal.fileName());
    ASSERT_TRUE(file.resize(RaceJournal::maxBytes + 1));
    ASSERT_TRUE(unitA->send(singleLineRace(62, 1)));
    ASSERT_TRUE(eventually([&] { return racesNumbered(62) == 1; }));
    EXPECT_EQ(QFileInfo(main->raceJournal.olderFileName()).size(), RaceJournal::maxBytes + 1);
    EXPECT_TRUE(journal().startsWith("=== ")) << journal().left(200).constData();
    EXPECT_TRUE(journal().contains("--- stored as race 62 ("));
}

TEST_F(Reception, AnErrorWhileScanningDoesNotTakeTheKeyboard)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    TRaceDetailsForm* details = windows->raceDetailsForm;
    details->openForRace(1, QStringLiteral("Race 1"));
    QApplication::setActiveWindow(details);
    ASSERT_TRUE(eventually([&] { return details->isActiveWindow(); }));

    ASSERT_TRUE(unitA->send("00:00,01/01/00,7X,LANE,U12G,100M,,1,\r\n"));
    ASSERT_TRUE(eventually([&] { return ui.errors.size() == 1; }));
    EXPECT_EQ(ui.errorsWithoutFocus, ui.errors);

    // The real box: on top, open, and the scanning window keeps the keyboard.
    UiServices::install(nullptr);
    QtUiServices real;
    real.showErrorWithoutFocus(main, QStringLiteral("Failed to Read race data correctly\nbox"));
    UiServices::install(&ui);
    QMessageBox* box = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<QMessageBox*>(w); b && b->text().endsWith(QLatin1String("\nbox")))
            box = b;
    ASSERT_TRUE(box);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
    QTest::qWait(20);
    // The offscreen platform activates every window it shows; on a display
    // (xvfb-run with QT_QPA_PLATFORM=xcb) the box leaves the keyboard alone.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        EXPECT_TRUE(details->isActiveWindow());
    }
    box->button(QMessageBox::Ok)->click();
    QTest::qWait(1);

    // Elsewhere the box is the usual one.
    details->hide();
    QApplication::setActiveWindow(main);
    ASSERT_TRUE(unitA->send("00:00,01/01/00,7Y,LANE,U12G,100M,,1,\r\n"));
    ASSERT_TRUE(eventually([&] { return ui.errors.size() == 2; }));
    EXPECT_EQ(ui.errorsWithoutFocus.size(), 1);
}

TEST_F(Reception, WhileScanningNoLaterErrorTakesTheKeyboardOrHidesTheRacesOwn)
{
    ASSERT_NO_FATAL_FAILURE(begin(Clock::ByHand));
    TRaceDetailsForm* details = windows->raceDetailsForm;
    details->openForRace(1, QStringLiteral("Race 1"));
    QApplication::setActiveWindow(details);
    ASSERT_TRUE(eventually([&] { return details->isActiveWindow(); }));

    // A journal that cannot be written: the race is stored, and said so
    // without taking the keyboard.
    const QString journalFile = main->raceJournal.fileName();
    QFile::remove(journalFile);
    ASSERT_TRUE(QDir().mkpath(journalFile));
    ASSERT_TRUE(unitA->send(singleLineRace(7, 2)));
    ASSERT_TRUE(eventually([&] { return ui.errors.size() == 1; }));
    EXPECT_EQ(racesNumbered(7), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("The race journal ")) << ui.errors[0].toStdString();
    EXPECT_EQ(ui.errorsWithoutFocus, ui.errors);
    ASSERT_TRUE(QDir(journalFile).removeRecursively());

    // The Races page cannot be read again after a refused race: the race's
    // own message still leads the box.
    sql("ALTER TABLE races RENAME TO races_away");
    ASSERT_TRUE(unitA->send("00:00,01/01/00,7X,LANE,U12G,100M,,1,\r\n"));
    ASSERT_TRUE(eventually([&] { return ui.errors.size() == 2; }));
    sql("ALTER TABLE races_away RENAME TO races");
    EXPECT_TRUE(ui.errors[1].startsWith("Failed to Read race data correctly\n")) << ui.errors[1].toStdString();
    EXPECT_TRUE(ui.errors[1].contains("\n\nThe Races page could not be read again")) << ui.errors[1].toStdString();
    EXPECT_EQ(ui.errorsWithoutFocus, ui.errors);
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
    EXPECT_EQ(number(perRace.arg(21)), 3);
    EXPECT_EQ(number(perRace.arg(22)), 4);
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
    EXPECT_EQ(number("SELECT COUNT(DISTINCT number) FROM races WHERE number > 100"), count);
    EXPECT_EQ(logEntries().size(), count);
    EXPECT_EQ(currentRaceNumber(), 100 + count);
}

INSTANTIATE_TEST_SUITE_P(Reception, Burst, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "BackToBack" : "Paced"; });

} // namespace
