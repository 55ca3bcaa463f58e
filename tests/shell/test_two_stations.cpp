#include "GridTyping.h"
#include "MainFormFixture.h"
#include "link/LinkFixture.h"

#include "entry/Racedetailsdialog.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"
#include "store/Race.h"
#include "store/TestEngine.h"

#include <QFile>
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
        if (TestEngine::onServer()) {
            if (const QString unavailable = TestEngine::unavailable(); !unavailable.isEmpty())
                GTEST_SKIP() << unavailable.toStdString();
            QString failure;
            const DatabaseSettings server = TestEngine::emptyServerDatabase(failure);
            ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
            databaseSection = "[Database]\r\nengine=postgresql\r\nconnection=" + server.connection.toUtf8() + "\r\n";
        }
        QFile settings(places.settingsFile);
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(databaseSection + "[Coms]\r\nport=COM11\r\nbaud=57600\r\nbluetooth=0\r\n[Devices]\r\nCOM11="
                       + QFile::encodeName(timerUnit.path()) + "\r\n");
    }

    void SetUp() override
    {
        MainFormFixture::SetUp();
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
        const int before = scalar(QStringLiteral("SELECT COUNT(*) FROM races")).toInt();
        ASSERT_TRUE(timerUnit.send(text));
        ASSERT_TRUE(eventually([&] { return scalar(QStringLiteral("SELECT COUNT(*) FROM races")).toInt() > before; }));
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

    TimerUnitLine timerUnit{dir.filePath(QStringLiteral("timer-unit"))};
    QByteArray databaseSection;
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
    EXPECT_EQ(scalar(QStringLiteral("SELECT COUNT(*) FROM races WHERE event = '400MH'")).toInt(), 1);

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
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM result").toInt(), 30 * 12);
    EXPECT_EQ(scalar("SELECT COUNT(DISTINCT race_id_pk) FROM result").toInt(), 30);
}

} // namespace
