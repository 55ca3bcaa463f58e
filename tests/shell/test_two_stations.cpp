#include "GridTyping.h"
#include "MainFormFixture.h"
#include "support/Eventually.h"
#include "support/PtyLine.h"

#include "entry/Racedetailsdialog.h"
#include "entry/Timederror.h"
#include "link/CPort.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"
#include "store/DatabaseLink.h"
#include "store/Race.h"
#include "store/TestEngine.h"

#include <QFile>
#include <QLabel>
#include <QProcess>

namespace {

// Two stations on one meet: this test's windows are station A, and a
// second process of the program (station_peer) is station B. The meet's
// database is the fixture's: B is given the same folder and the Database
// section of A's settings, so that both reach the same tables whatever
// engine A uses. A timer unit on a pseudo-terminal sends its races to A.
class TwoStations : public MainFormFixture {
protected:
    // Port A is the timer unit's. On the test server both stations share
    // an empty database of it, named in the Database section.
    void prepareSettings() override
    {
        if (ownServer && !TestEngine::onServer())
            GTEST_SKIP() << "a file does not go away";
        if (TestEngine::onServer()) {
            if (const QString unavailable = TestEngine::unavailable(); !unavailable.isEmpty())
                GTEST_SKIP() << unavailable.toStdString();
        }
        if (ownServer) {
            QProcess::execute(QStringLiteral(VEXO_PG_CLUSTER), {QStringLiteral("start"), serverState.path()});
            QFile conninfo(serverState.filePath(QStringLiteral("conninfo")));
            ASSERT_TRUE(conninfo.open(QIODevice::ReadOnly)) << "no server of the test's own";
            databaseSection = "[Database]\r\nengine=postgresql\r\nconnection=" + conninfo.readAll().trimmed()
                + " dbname=postgres\r\n";
        } else if (TestEngine::onServer()) {
            QString failure;
            const DatabaseSettings server = TestEngine::emptyServerDatabase(failure);
            ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
            databaseSection = "[Database]\r\nengine=postgresql\r\nconnection=" + server.connection.toUtf8() + "\r\n";
        }
        writeSettings(databaseSection + "[Coms]\r\nport=COM11\r\nbaud=57600\r\nbluetooth=0\r\n[Devices]\r\nCOM11="
                       + QFile::encodeName(timerUnit.path()) + "\r\n");
    }

    void SetUp() override
    {
        MainFormFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // A looks at what B stores when the test says so, and takes a race
        // as whole once the line has been quiet a moment.
        main->changeTimer->stop();
        main->rxQuietIntervalMs = 100;
        ASSERT_TRUE(main->comPortA->Connected()) << "the timer unit's line";
        ASSERT_TRUE(peerSettings.isValid());
        QFile settings(peerSettings.filePath("VEXO_BARCODE.ini"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(databaseSection);
        settings.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        stationB.setProcessEnvironment(environment);
        stationB.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        stationB.start(QStringLiteral(VEXO_STATION_PEER), {places.databaseFolder, peerSettings.path()});
        ASSERT_EQ(reply(), "ready");
    }

    // A race from the timer unit, stored by A once the line is quiet.
    void receiveAtA(const QByteArray& text)
    {
        const int before = count("races");
        ASSERT_TRUE(timerUnit.send(text));
        ASSERT_TRUE(eventually([&] { return count("races") > before; }));
    }

    void TearDown() override
    {
        stationB.write("quit\n");
        if (!stationB.waitForFinished(10000))
            stationB.kill();
        stationB.waitForFinished();
        RACE::setClock({});
        RACE::setLastRaceId(0);
        MainFormFixture::TearDown();
    }

    QString reply()
    {
        while (!stationB.canReadLine())
            if (!stationB.waitForReadyRead(20000))
                return QStringLiteral("<station B does not answer>");
        return QString::fromUtf8(stationB.readLine()).trimmed();
    }

    QString ask(const QString& command)
    {
        stationB.write((command + QLatin1Char('\n')).toUtf8());
        return reply();
    }

    int raceKey(int row)
    {
        DataSet& races = main->RaceTable();
        return races.value(row, races.fieldIndex("race_id_pk")).toInt();
    }

    QString shownIn(DataGrid* grid, int row, const QByteArray& field)
    {
        return grid->model()->index(row, grid->columnOf(field)).data().toString();
    }

    PtyLine timerUnit{dir.filePath(QStringLiteral("timer-unit"))};
    QByteArray databaseSection;
    // A server of the test's own, for a test that stops and starts it.
    bool ownServer = false;
    QTemporaryDir serverState;
    QTemporaryDir peerSettings;
    QProcess stationB;
};

TEST_F(TwoStations, EachSeesTheOthersRacesAndScansAndNeitherOverwritesTheOther)
{
    // Races the timer unit sends to A show on B's Races page by themselves.
    ASSERT_NO_FATAL_FAILURE(receiveAtA(TMainForm::raceTemplate));
    ASSERT_NO_FATAL_FAILURE(receiveAtA(TMainForm::raceTemplate));
    ASSERT_EQ(main->RaceTable().RecordCount(), 2);
    EXPECT_EQ(ask(QStringLiteral("races 2")), "2") << "within 2 s";

    // A timer-unit code typed on B's Events page names the event of the
    // next race A stores.
    sql(QStringLiteral("INSERT INTO event (event) VALUES ('400MH')"));
    EXPECT_EQ(ask(QStringLiteral("code 400MH EV9")), "stored");
    ASSERT_NO_FATAL_FAILURE(receiveAtA(QByteArray(TMainForm::raceTemplate).replace(",100M,", ",EV9,")));
    EXPECT_EQ(count("races WHERE event = '400MH'"), 1);

    // A shows the first race; B scans bib 205 into it, and A's race details
    // show the number once it looks, with its cursor where it was.
    const int key = raceKey(0);
    main->RaceTable().First();
    main->raceDBGridDblClick();
    TRaceDetailsForm* details = windows->raceDetailsForm;
    ASSERT_TRUE(details->isVisible());
    details->resultTable().moveTo(3);
    EXPECT_EQ(shownIn(details->resultDBGrid, 0, "athlete_number"), "");
    EXPECT_EQ(ask(QStringLiteral("scan %1 205").arg(key)), "205");
    main->watchOtherStations();
    EXPECT_EQ(shownIn(details->resultDBGrid, 0, "athlete_number"), "205");
    EXPECT_EQ(details->resultTable().RecNo(), 3);
    EXPECT_EQ(details->resultDBGrid->selectedField(), "athlete_number");

    // A scan being typed at A is not disturbed by B's next one: A's rows
    // are read again once its scan is stored.
    QApplication::setActiveWindow(details);
    details->resultDBGrid->setFocus();
    typeKeys(details->resultDBGrid, QStringLiteral("31"));
    EXPECT_EQ(ask(QStringLiteral("scan %1 206").arg(key)), "206"); // B corrects its own scan
    main->watchOtherStations();
    EXPECT_TRUE(details->resultDBGrid->isEditing());
    EXPECT_EQ(shownIn(details->resultDBGrid, 0, "athlete_number"), "205");
    pressKey(details->resultDBGrid, Qt::Key_Return);
    main->watchOtherStations();
    EXPECT_EQ(shownIn(details->resultDBGrid, 0, "athlete_number"), "206");
    EXPECT_EQ(shownIn(details->resultDBGrid, 3, "athlete_number"), "31");
    EXPECT_EQ(details->resultTable().RecNo(), 4);

    // Both change the first race's event: B first. A's change is refused
    // with the reason, and A's grid shows B's event.
    details->hide();
    QApplication::setActiveWindow(main);
    main->RaceTable().First();
    ASSERT_EQ(shownIn(main->raceDBGrid, 0, "event"), "100M");
    EXPECT_EQ(ask(QStringLiteral("event %1 400M").arg(key)), "stored");
    main->raceDBGrid->setFocus();
    main->raceDBGrid->setSelectedField("event");
    typeKeys(main->raceDBGrid, QStringLiteral("200M"));
    pressKey(main->raceDBGrid, Qt::Key_Return);
    pressKey(main->raceDBGrid, Qt::Key_Down);
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("This row was changed at another station")) << ui.errors[0].toStdString();
    EXPECT_EQ(shownIn(main->raceDBGrid, 0, "event"), "400M");
    EXPECT_EQ(scalar(QStringLiteral("SELECT event FROM races WHERE race_id_pk = %1").arg(key)).toString(), "400M");
}

TEST_F(TwoStations, RacesStoredAtTheSameTimeOnBothKeepDistinctKeys)
{
    // Both clocks stand still at the same time: every race of either
    // station draws a key the other draws too.
    const QDateTime fixed(QDate(2026, 5, 18), QTime(10, 30));
    RACE::setClock([fixed] { return fixed; });
    ASSERT_EQ(ask(QStringLiteral("clock ") + fixed.toString(Qt::ISODate)), "ok");
    stationB.write("store 15\n");
    for (int i = 0; i < 15; ++i)
        main->ProcessRaceData(TMainForm::raceTemplate, QStringLiteral("A"));
    EXPECT_EQ(reply(), "errors:");
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(scalar("SELECT COUNT(DISTINCT race_id_pk) FROM races").toInt(), 30);
    EXPECT_EQ(count("result"), 30 * 12);
    EXPECT_EQ(scalar("SELECT COUNT(DISTINCT race_id_pk) FROM result").toInt(), 30);
}

// Two stations on a server of the test's own, which the test stops and
// starts again, as a server laptop's sleep or a service restart would.
class TwoStationsThroughOutages : public TwoStations {
protected:
    TwoStationsThroughOutages() { ownServer = true; }

    void TearDown() override
    {
        TwoStations::TearDown();
        QProcess::execute(QStringLiteral(VEXO_PG_CLUSTER), {QStringLiteral("stop"), serverState.path()});
    }

    // Stops the server (clients are cut at once) or starts it again.
    int serverControl(const QString& action)
    {
        const QString script = QStringLiteral(
            "f=$(cat \"$1/folder\"); bin=$(dirname \"$(command -v initdb 2>/dev/null)\")\n"
            "[ -x \"$bin/pg_ctl\" ] || bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V -r | head -n 1)\n"
            "as=; [ \"$(id -u)\" = 0 ] && as='runuser -u nobody --'\n"
            "if [ \"$2\" = stop ]; then exec $as \"$bin/pg_ctl\" -D \"$f/data\" -m fast -w stop >/dev/null; fi\n"
            "exec $as \"$bin/pg_ctl\" -D \"$f/data\" -o \"-k $f -c listen_addresses= -c fsync=off\" "
            "-l \"$f/server.log\" -w -t 60 start >/dev/null\n");
        return QProcess::execute(QStringLiteral("bash"),
                                 {QStringLiteral("-c"), script, QStringLiteral("bash"), serverState.path(), action});
    }

    static QByteArray race(int number)
    {
        return QByteArray(TMainForm::raceTemplate).replace(",999,", "," + QByteArray::number(number) + ",");
    }

    // Polled across the server's restart, when the read itself may fail:
    // that means "not yet", not a fault, so it bypasses the failing probe.
    QString racesStored()
    {
        QSqlQuery q(main->database().connection());
        return q.exec(QStringLiteral("SELECT string_agg(number::text, ',' ORDER BY datetime, race_id_pk) FROM races"))
                && q.next()
            ? q.value(0).toString()
            : QString();
    }

    static void setClock(const QDateTime& time)
    {
        RACE::setClock([time] { return time; });
    }
};

TEST_F(TwoStationsThroughOutages, NothingReceivedOrScannedIsLostAndBothStationsAgreeAfterwards)
{
    ASSERT_NO_FATAL_FAILURE(receiveAtA(race(1)));
    const int firstKey = raceKey(0);
    main->RaceTable().First();
    main->raceDBGridDblClick();
    TRaceDetailsForm* details = windows->raceDetailsForm;
    QApplication::setActiveWindow(details);
    details->resultDBGrid->setFocus();
    EXPECT_TRUE(main->lbDatabaseStatus->isVisibleTo(main));
    EXPECT_EQ(main->lbDatabaseStatus->text(), "Database: connected");

    // The server stops between races: the races that arrive wait, in the
    // journal and on the Coms page, and one box tells of the outage,
    // without the keyboard while the race details window is active.
    ASSERT_EQ(serverControl(QStringLiteral("stop")), 0);
    const QDateTime arrival = QDateTime::currentDateTime().addSecs(600);
    setClock(arrival);
    ASSERT_TRUE(timerUnit.send(race(2)));
    ASSERT_TRUE(eventually([&] { return main->racesWaitingForDatabase() == 1; }));
    ASSERT_TRUE(timerUnit.send(race(3)));
    ASSERT_TRUE(eventually([&] { return main->racesWaitingForDatabase() == 2; }));
    EXPECT_TRUE(eventually([&] { return main->lbDatabaseStatus->text() == "Database: lost, retrying"; }))
        << main->lbDatabaseStatus->text().toStdString();
    ASSERT_FALSE(main->databaseLink->retry());
    EXPECT_TRUE(eventually([&] {
        return main->lbDatabaseStatus->toolTip().contains("cannot be reached: the server is not running.");
    })) << main->lbDatabaseStatus->toolTip().toStdString();
    ASSERT_EQ(ui.errorsWithoutFocus.size(), 1) << ui.errors.join('\n').toStdString();
    EXPECT_TRUE(ui.errorsWithoutFocus[0].startsWith("The meet database on ")) << ui.errors[0].toStdString();
    EXPECT_EQ(main->raceJournal.textsToMend().size(), 2) << "kept as waiting, in case the program is closed";

    // A scan meanwhile is refused like a repeat and stays in its row
    // unsaved; the next scan does not replace it.
    ::scan(details->resultDBGrid, QStringLiteral("101"));
    EXPECT_TRUE(details->holdsUnstoredScan());
    EXPECT_EQ(windows->timedErrorForm->Label1->text(), TRaceDetailsForm::notStoredText());
    ::scan(details->resultDBGrid, QStringLiteral("102"));
    EXPECT_EQ(shownIn(details->resultDBGrid, 0, "athlete_number"), "101");
    EXPECT_EQ(ui.errors.size(), 1) << "one box for the outage, not one per race or scan";

    // The server is back: the races that waited are stored in arrival
    // order, and the scan, once the link (fired here by hand) reconnects.
    ASSERT_EQ(serverControl(QStringLiteral("start")), 0);
    setClock(arrival.addSecs(600));
    ASSERT_TRUE(eventually([&] { return main->databaseLink->retry(); }));
    ASSERT_TRUE(eventually([&] { return main->racesWaitingForDatabase() == 0 && !details->holdsUnstoredScan(); }));
    EXPECT_EQ(main->lbDatabaseStatus->text(), "Database: connected");
    EXPECT_EQ(racesStored(), "1,2,3");
    EXPECT_TRUE(scalar("SELECT datetime FROM races WHERE number = 3")
                    .toString()
                    .startsWith(arrival.toString(QStringLiteral("yyyy-MM-dd HH:mm"))))
        << "stamped with its arrival";
    EXPECT_EQ(scalar(QStringLiteral("SELECT athlete_number FROM result WHERE race_id_pk = %1 ORDER BY result_id_pk")
                         .arg(firstKey)).toInt(),
              101);

    // Restarted between two statements: the race that arrives finds the
    // connection gone, waits, and is stored as soon as it is opened again.
    ASSERT_EQ(serverControl(QStringLiteral("stop")), 0);
    ASSERT_EQ(serverControl(QStringLiteral("start")), 0);
    ASSERT_TRUE(timerUnit.send(race(4)));
    ASSERT_TRUE(eventually([&] { return racesStored() == "1,2,3,4"; }, 20000)) << racesStored().toStdString();
    EXPECT_EQ(count("result"), 4 * 12) << "every place stored once";

    // Station B lost its connection too, opened it again by itself and
    // shows every race; its scans are stored again.
    QString shownAtB;
    for (int i = 0; i < 10 && shownAtB != "4"; ++i)
        shownAtB = ask(QStringLiteral("races 4"));
    EXPECT_EQ(shownAtB, "4");
    EXPECT_EQ(ask(QStringLiteral("scan %1 205").arg(firstKey)), "205");
    main->watchOtherStations();
    EXPECT_EQ(shownIn(details->resultDBGrid, 0, "athlete_number"), "205");
}

} // namespace
