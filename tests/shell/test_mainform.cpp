#include "GridTyping.h"
#include "MainFormFixture.h"

#include "barcode/Bcodedialog.h"
#include "entry/Athleteselectdialog.h"
#include "entry/ColourRules.h"
#include "entry/Racedetailsdialog.h"
#include "entry/Timederror.h"
#include "helpview/Helpdialog1.h"
#include "link/CPortFrm.h"
#include "shell/Application.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"
#include "store/LondonClock.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QToolTip>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class MainFormTest : public MainFormFixture {
protected:
    void addMeet()
    {
        sql("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (101, 'Ann', 'Lee', 12, 'Blue', 'F')");
        sql("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (105, 'Bob', 'Smith', 19, 'Red', 'M')");
        sql("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (20, 'Cy', 'smithers', 14, 'Red', 'M')");
        sql("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (102, 'Di', 'O''Brien', 13, 'Blue', 'F')");
        sql("INSERT INTO races (race_id_pk, number, event, completed, age, gender) VALUES (1, 105, '100M', 0, 12, 'F')");
        sql("INSERT INTO races (race_id_pk, number, event, completed, age, gender) VALUES (2, 7, '200M', 1, 13, 'M')");
        sql("INSERT INTO races (race_id_pk, number, event, completed, age, gender) VALUES (3, 12, '100M', 0, 9, '')");
        sql("INSERT INTO record (gender, event, age, value, type) VALUES ('F', '100M', 12, 13.5, 1)");
        sql("INSERT INTO record (gender, event, age, value, type) VALUES ('M', '25', 13, 30.1, 1)");
        sql("INSERT INTO event (event, tg_event) VALUES ('100M', NULL)");
        sql("INSERT INTO event (event, tg_event) VALUES ('f', NULL)");
        sql("INSERT INTO pb (athlete_number, event, value) VALUES (7, '100M', 14.2)");
        sql("INSERT INTO pb (athlete_number, event, value) VALUES (101, '0', 14.2)");
        for (int page = 0; page < 5; ++page)
            main->tableOfPage(page).Refresh();
    }

    // The numbers of a page's column in the rows its grid shows.
    QStringList shown(int page, const QByteArray& field)
    {
        DataSet& table = main->tableOfPage(page);
        QStringList out;
        for (int row = 0; row < table.RecordCount(); ++row)
            out << table.value(row, table.fieldIndex(field)).toString();
        return out;
    }

    void search(int page, const QString& text)
    {
        main->PageControl->setCurrentIndex(page);
        main->edtSearch->setText(text);
        main->btnSearch->click();
    }
};

TEST(MainFormStart, FirstStartInAnEmptyFolderWritesTheSettingsAndCreatesTheDatabase)
{
    RecordingUiServices ui;
    QTemporaryDir dir;
    auto windows = createProgramWindows({dir.path(), dir.filePath("VEXO_BARCODE.ini")});
    QFile ini(dir.filePath("VEXO_BARCODE.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(ini.readAll()).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
    EXPECT_EQ(lines, (QStringList{"[Coms]", "baud=57600", "port=COM11", "bluetooth=0", "portname=", "baud2=57600",
                                  "port2=COM12", "bluetooth2=0", "portname2=", "dualComPorts=0", "[Barcode]",
                                  "bcHeight=50", "bcWidth=100", "bcIncludeNumber=1", "bcTopMargin=35",
                                  "bcLeftMargin=8", "bcVerticalPitch=67", "bcHorizontalPitch=128", "bcColumns=5",
                                  "bcRows=13"}));
    EXPECT_TRUE(QFile::exists(dir.filePath("VEXO_ACC.db")));
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST(MainFormStart, UnusableDatabaseRaisesOnceAndNothingIsShown)
{
    RecordingUiServices ui;
    QTemporaryDir dir;
    QFile junk(dir.filePath("VEXO_ACC.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    EXPECT_THROW(createProgramWindows({dir.path(), dir.filePath("VEXO_BARCODE.ini")}), EDatabaseError);
    EXPECT_TRUE(ui.errors.isEmpty()) << "start-up shows the one box itself";
}

// A folder no one may create files in: a read-only one for a user; for root,
// who writes anywhere a permission would stop a user, the kernel's own
// folder of device attributes, where no file can be made.
TEST(MainFormStart, ReadOnlyFolderEndsTheStartWithOneMessageSayingWhatToDo)
{
    RecordingUiServices ui;
    QTemporaryDir dir;
    QString folder = dir.filePath("program");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    if (QFile probe(folder + "/probe"); probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        folder = "/sys";
        if (QFile sysProbe(folder + "/probe"); sysProbe.open(QIODevice::WriteOnly)) {
            sysProbe.remove();
            GTEST_SKIP() << "no folder here refuses new files to this user";
        }
    }

    EXPECT_EQ(startProgram({folder, folder + "/VEXO_BARCODE.ini", folder}), nullptr);
    EXPECT_EQ(ui.errors,
              QStringList{"The folder " + QDir::toNativeSeparators(folder)
                          + " is read-only: VEXO needs to write its database VEXO_ACC.db and its settings there. "
                            "Copy the whole folder, with the program, its settings and its database, to a folder "
                            "you can write and start it there, or make this one writable."});
    QFile::setPermissions(dir.filePath("program"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A start that works shows nothing and hands the windows over.
    ui.errors.clear();
    QTemporaryDir writable;
    EXPECT_NE(startProgram({writable.path(), writable.filePath("VEXO_BARCODE.ini"), writable.path()}), nullptr);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

// A server that takes the connection and never answers (the wrong port, a
// machine half asleep): the start tells so within 10 seconds and offers to
// try again or to quit, where it used to show nothing for ever.
TEST(MainFormStart, ServerThatNeverAnswersIsToldWithin10SecondsWithTryAgainOrQuit)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        GTEST_SKIP() << "Qt's driver QPSQL is not installed";
    // The kernel accepts into the listener's queue; nobody ever answers.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length) + ::listen(listener, 8)
                  + ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length),
              0);

    QTemporaryDir dir;
    QFile settings(dir.filePath("VEXO_BARCODE.ini"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Database]\r\nengine=postgresql\r\nconnection=host=127.0.0.1 port="
                   + QByteArray::number(ntohs(address.sin_port)) + " dbname=meet user=vexo\r\n");
    settings.close();
    RecordingUiServices ui;
    ui.confirmAnswers << true << false; // try again once, then quit
    QElapsedTimer took;
    took.start();
    EXPECT_EQ(startProgram({dir.path(), dir.filePath("VEXO_BARCODE.ini"), dir.path()}), nullptr);
    EXPECT_LT(took.elapsed(), 2 * 10000);
    ::close(listener);
    ASSERT_EQ(ui.confirmations.size(), 2);
    EXPECT_TRUE(ui.confirmations[0].startsWith("Cannot open the database on the server \"host=127.0.0.1 port="))
        << ui.confirmations[0].toStdString();
    EXPECT_TRUE(ui.confirmations[0].contains("the meet database on 127.0.0.1 cannot be reached: the server did not "
                                             "answer within 5 seconds."));
    EXPECT_TRUE(ui.confirmations[0].endsWith(")\n\nClick OK to try again, or Cancel to quit."));
}

TEST(MainFormStart, LostServerIsToldWithoutTakingTheKeyboardAndNoBoxIsEmpty)
{
    RecordingUiServices ui;
    runGuarded([] { throw EConnectionLost(QStringLiteral("The meet database on finish-pc cannot be reached")); });
    runGuarded([] { throw EDatabaseError(QString()); });
    EXPECT_EQ(ui.errorsWithoutFocus, QStringList{"The meet database on finish-pc cannot be reached"});
    EXPECT_EQ(ui.errors.last(), "The operation failed, and no reason was given for it.");
}

TEST_F(MainFormTest, LayoutHasItsCaptionPagesAndStatus)
{
    EXPECT_EQ(main->windowTitle(), "VEXO Barcode System, V2.00.04");
    EXPECT_EQ(main->size(), QSize(763, 586));
    QStringList tabs;
    for (int i = 0; i < main->PageControl->count(); ++i)
        tabs << main->PageControl->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"Races", "Athletes", "Records", "Events", "P.Best", "Coms"}));
    EXPECT_EQ(main->PageControl->currentIndex(), 0);
    EXPECT_EQ(main->edtSearch->toolTip(), "Enter an age, gender, event, race number or search pattern");
    EXPECT_EQ(main->btnBarcodes->toolTip(), "Barcodes for selected athletes");
    EXPECT_EQ(main->lbConnectStatus->text(), "NOT Connected");
    EXPECT_TRUE(main->cbEnableA->isChecked());
    EXPECT_FALSE(main->lbConnectStatus2->isVisible());
    EXPECT_FALSE(main->btnComsSetupB->isVisible());
    EXPECT_EQ(main->raceDBGrid->columnTitle(4), "Completed");
    EXPECT_EQ(main->recordDBGrid->columnTitle(4), "Type");
    EXPECT_EQ(main->athleteDBGrid->columnWidth(1), 190);

    // A notice shows in the status panel as well as in its box, for a while.
    UiServices::current().showNotice(main, "Imported 60 athletes\nand 12 events");
    EXPECT_EQ(ui.notices, QStringList{"Imported 60 athletes\nand 12 events"});
    EXPECT_EQ(main->lbNotice->text(), "Imported 60 athletes");
    EXPECT_TRUE(main->noticeTimer->isActive());
    QMetaObject::invokeMethod(main->noticeTimer, "timeout");
    EXPECT_EQ(main->lbNotice->text(), "");
}

TEST_F(MainFormTest, SearchClassifiesTheTypedTextByPage)
{
    addMeet();
    search(0, "f");
    EXPECT_EQ(shown(0, "race_id_pk"), (QStringList{"1"})) << "gender F";
    search(0, "12");
    EXPECT_EQ(shown(0, "race_id_pk"), (QStringList{"1"})) << "age 12";
    search(0, "105");
    EXPECT_EQ(shown(0, "race_id_pk"), (QStringList{"1"})) << "race number 105";
    search(0, "100M");
    EXPECT_EQ(shown(0, "race_id_pk"), (QStringList{"1", "3"}));

    search(1, "m");
    EXPECT_EQ(shown(1, "number"), (QStringList{"105", "20"}));
    search(1, "19");
    EXPECT_EQ(shown(1, "number"), (QStringList{"105"})) << "19 is an age";
    search(1, "20");
    EXPECT_EQ(shown(1, "number"), (QStringList{"20"})) << "20 is a number";
    search(1, "Smi");
    EXPECT_EQ(shown(1, "number"), (QStringList{"105", "20"})) << "surname prefix, any case";
    search(1, "O'Brien");
    EXPECT_EQ(shown(1, "number"), (QStringList{"102"}));
    search(1, "age > 12");
    EXPECT_EQ(shown(1, "number"), (QStringList{"105", "20", "102"}));

    search(2, "25");
    EXPECT_EQ(shown(2, "event"), (QStringList{"25"})) << "20 or more is an event on Records";
    search(3, "f");
    EXPECT_EQ(shown(3, "event"), (QStringList{"f"})) << "an event named f";
    search(4, "0");
    EXPECT_EQ(shown(4, "athlete_number"), (QStringList{"101"})) << "0 is text: event '0'";
    search(4, "7");
    EXPECT_EQ(shown(4, "athlete_number"), (QStringList{"7"}));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(MainFormTest, EnterSearchesAndClearRemovesOnlyThisPagesFilter)
{
    addMeet();
    search(0, "m");
    main->PageControl->setCurrentIndex(1);
    main->edtSearch->setText("f");
    main->edtSearch->setFocus();
    pressKey(main->edtSearch, Qt::Key_Return);
    EXPECT_EQ(shown(1, "number"), (QStringList{"101", "102"}));
    EXPECT_EQ(main->searchText[1], QByteArray("f"));

    main->btnClear->click();
    EXPECT_EQ(main->edtSearch->text(), "");
    EXPECT_EQ(main->AthleteTable().RecordCount(), 4);
    EXPECT_TRUE(main->searchText[1].isEmpty());
    EXPECT_EQ(main->RaceTable().RecordCount(), 1) << "the Races page keeps its filter";
}

TEST_F(MainFormTest, BadExpressionShowsTheErrorAndKeepsTheSearchText)
{
    addMeet();
    search(1, "f");
    search(1, "nosuchfield = 3");
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].contains("nosuchfield")) << ui.errors[0].toStdString();
    EXPECT_EQ(main->searchText[1], QByteArray("f"));
    EXPECT_EQ(shown(1, "number"), (QStringList{"101", "102"})) << "the filter stays";
}

TEST_F(MainFormTest, PageChangesSwapHintAndTextAndComsHidesTheSearch)
{
    addMeet();
    search(1, "Smi");
    main->PageControl->setCurrentIndex(2);
    EXPECT_EQ(main->edtSearch->toolTip(), "Enter an age, gender, event, or search pattern");
    EXPECT_EQ(main->edtSearch->text(), "");
    main->PageControl->setCurrentIndex(1);
    EXPECT_EQ(main->edtSearch->text(), "Smi");
    EXPECT_EQ(main->AthleteTable().RecordCount(), 2);
    EXPECT_EQ(main->PageControl->tabBar()->tabTextColor(1), main->palette().color(QPalette::Highlight));
    EXPECT_NE(main->PageControl->tabBar()->tabTextColor(2), main->palette().color(QPalette::Highlight));

    main->PageControl->setCurrentIndex(5);
    EXPECT_FALSE(main->edtSearch->isVisible());
    EXPECT_FALSE(main->btnSearch->isVisible());
    EXPECT_FALSE(main->btnClear->isVisible());
    EXPECT_EQ(main->edtSearch->toolTip(), "");
}

TEST_F(MainFormTest, AthleteTitlesSortAndMark)
{
    addMeet();
    main->athleteDBGridTitleClick(2);
    EXPECT_EQ(shown(1, "number"), (QStringList{"101", "102", "105", "20"}));
    EXPECT_EQ(main->athleteDBGrid->columnTitle(2), "*Surname*");
    main->athleteDBGridTitleClick(0);
    EXPECT_EQ(shown(1, "number"), (QStringList{"20", "101", "102", "105"}));
    EXPECT_EQ(main->athleteDBGrid->columnTitle(2), "*Surname");
    EXPECT_EQ(main->athleteDBGrid->columnTitle(0), "*Number*");
    main->athleteDBGridTitleClick(1);
    EXPECT_EQ(main->athleteDBGrid->columnTitle(1), "First Name");
}

TEST_F(MainFormTest, CompletedRacesAreLimeAndAthletesAndRecordsByGender)
{
    addMeet();
    EXPECT_EQ(main->raceDBGrid->drawColumnCell(1, 3), ColourRules::lime());
    EXPECT_EQ(main->raceDBGrid->drawColumnCell(0, 3), std::nullopt);
    EXPECT_EQ(main->athleteDBGrid->drawColumnCell(0, 0), ColourRules::pink());
    EXPECT_EQ(main->athleteDBGrid->drawColumnCell(1, 5), ColourRules::lightBlue());
    EXPECT_EQ(main->recordDBGrid->drawColumnCell(0, 2), ColourRules::pink());
    EXPECT_FALSE(main->eventDBGrid->drawColumnCell);
    EXPECT_FALSE(main->pbDBGrid->drawColumnCell);
}

TEST_F(MainFormTest, AddNewRaceTwiceInOneSecondGivesTwoRacesOfTwelveResults)
{
    main->btnNewRace->click();
    main->btnNewRace->click();
    EXPECT_EQ(scalar("SELECT count(DISTINCT race_id_pk) FROM races").toInt(), 2);
    EXPECT_EQ(count("result"), 24);
    EXPECT_EQ(main->RaceTable().RecNo(), 1) << "the cursor on the last row";
    EXPECT_EQ(main->RaceTable().FieldByName("number").AsInteger(), 999);
    EXPECT_EQ(main->raceTitle().left(19), "Race 999 - U99  100") << "two blanks for an empty gender";
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(MainFormTest, DeleteRaceAsksAndKeepsTheResults)
{
    main->btnNewRace->click();
    ui.confirmAnswers << false << true;
    main->btnDelete->click();
    EXPECT_EQ(count("races"), 1);
    main->btnDelete->click();
    EXPECT_EQ(ui.confirmations, (QStringList{"Delete record?", "Delete record?"}));
    EXPECT_EQ(count("races"), 0);
    EXPECT_EQ(count("result"), 12);
}

TEST_F(MainFormTest, NewAthleteTypedInIsStoredAndEscapeAbandonsIt)
{
    main->PageControl->setCurrentIndex(1);
    main->btnNewAthlete->click();
    pressKey(main->athleteDBGrid, Qt::Key_Escape);
    EXPECT_EQ(main->AthleteTable().RecordCount(), 0);

    main->btnNewAthlete->click();
    main->athleteDBGrid->setSelectedField("number");
    typeKeys(main->athleteDBGrid, "321");
    pressKey(main->athleteDBGrid, Qt::Key_Tab);
    typeKeys(main->athleteDBGrid, "Eve");
    pressKey(main->athleteDBGrid, Qt::Key_Return);
    main->AthleteTable().Post();
    EXPECT_EQ(scalar("SELECT firstname FROM athletes WHERE number = 321").toString(), "Eve");
}

} // namespace

namespace {

TEST_F(MainFormTest, BarcodesButtonFillsTheListFromTheShownAthletes)
{
    addMeet();
    search(1, "m");
    main->btnBarcodes->click();
    ASSERT_NE(windows->bcodeForm, nullptr);
    EXPECT_TRUE(windows->bcodeForm->isVisible());
    EXPECT_EQ(windows->bcodeForm->numbers(), (QStringList{"105", "20"}));
    EXPECT_EQ(windows->bcodeForm->windowTitle(), "VEXO Interleaved 2 of 5 Barcode Generator");
}

} // namespace

namespace {

TEST_F(MainFormTest, ImportFillsThePagesAndExportWritesTheScannedResults)
{
    ui.confirmAnswers << true;
    ui.openAnswers << QStringLiteral(VEXO_SAMPLES_DIR "/meet.csv");
    main->btnImport->click();
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(main->AthleteTable().RecordCount(), 60) << "the pages show what was imported";
    EXPECT_GT(main->EventTable().RecordCount(), 0);
    EXPECT_GT(main->PBTable().RecordCount(), 0);

    main->btnNewRace->click();
    sql("UPDATE result SET athlete_number = 201 WHERE place = '1'");
    const QString file = dir.filePath("results.csv");
    ui.saveAnswers << file;
    main->btnExport->click();
    QFile results(file);
    ASSERT_TRUE(results.open(QIODevice::ReadOnly));
    const QByteArray text = results.readAll();
    EXPECT_TRUE(text.startsWith("Results\r\n")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(",201,100M,88\r\n")) << text.toStdString();
    EXPECT_EQ(ui.proposedNames, (QStringList{"something.csv"}));
}

} // namespace

namespace {

TEST_F(MainFormTest, DoubleClickedRaceOpensInTheRaceDetailsAndCompletedTurnsItLime)
{
    main->btnNewRace->click();
    main->raceDBGridDblClick();
    TRaceDetailsForm* details = windows->raceDetailsForm;
    ASSERT_NE(details, nullptr);
    EXPECT_TRUE(details->isVisible());
    EXPECT_TRUE(details->TitlePanel->text().startsWith("Race 999 - U99  100M, ")) << details->TitlePanel->text().toStdString();
    EXPECT_EQ(details->resultTable().RecordCount(), 12);

    details->btnCompleted->click();
    EXPECT_FALSE(details->isVisible());
    EXPECT_EQ(main->raceDBGrid->drawColumnCell(0, 0), ColourRules::lime()) << "the race list shows it completed";
}

TEST_F(MainFormTest, WindowsAreCreatedWithTheirCaptions)
{
    EXPECT_EQ(windows->athleteSelectForm->windowTitle(), "Select Athlete");
    EXPECT_EQ(windows->timedErrorForm->windowTitle(), "Warning");
    EXPECT_EQ(windows->helpDialog->windowTitle(), "VEXO Barcode System - Help");
    EXPECT_EQ(windows->serialFrm->windowTitle(), "Communication Settings");
    for (QWidget* w : {static_cast<QWidget*>(windows->bcodeForm), static_cast<QWidget*>(windows->raceDetailsForm),
                       static_cast<QWidget*>(windows->athleteSelectForm),
                       static_cast<QWidget*>(windows->timedErrorForm)})
        EXPECT_FALSE(w->isVisible()) << w->windowTitle().toStdString();
}

} // namespace

namespace {

TEST_F(MainFormTest, ClosingTheMainWindowSavesNothing)
{
    QFile ini(places.settingsFile);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray before = ini.readAll();
    ini.close();
    main->config.baud = 0;
    main->config.portname = "Finish line";
    main->btnExit->click();
    EXPECT_FALSE(main->isVisible());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), before);
}

} // namespace

namespace {


TEST_F(MainFormTest, SearchAndClearStoreThePendingEditInItsOwnRow)
{
    addMeet();
    search(1, "m"); // 105, 20
    DataGrid* grid = main->athleteDBGrid;
    grid->setFocus();
    grid->setSelectedField("firstname");
    pressKey(grid, Qt::Key_Down);
    typeKeys(grid, "Zed");
    pressKey(grid, Qt::Key_Return); // in the row, not yet stored
    main->btnClear->click();
    grid->setSelectedField("firstname");
    typeKeys(grid, "Amy"); // the first row of all: 101
    pressKey(grid, Qt::Key_Return);
    search(1, "m");
    EXPECT_EQ(lines("SELECT number, firstname FROM athletes ORDER BY number"),
              (QStringList{"20 Zed", "101 Amy", "102 Di", "105 Bob"}));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(MainFormTest, AddNewAthleteTwiceStoresBoth)
{
    main->PageControl->setCurrentIndex(1);
    DataGrid* grid = main->athleteDBGrid;
    for (const char* number : {"300", "301"}) {
        main->btnNewAthlete->click();
        grid->setFocus();
        grid->setSelectedField("number");
        typeKeys(grid, number);
        pressKey(grid, Qt::Key_Tab);
        typeKeys(grid, "Eve");
        pressKey(grid, Qt::Key_Return);
    }
    pressKey(grid, Qt::Key_Down);
    EXPECT_EQ(lines("SELECT number, firstname FROM athletes ORDER BY number"),
              (QStringList{"300 Eve", "301 Eve"}));
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(MainFormTest, EditPendingAcrossAnImportIsStoredFirstOrStopsTheImport)
{
    addMeet();
    const QString file = dir.filePath("meet.csv");
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("A,33,Zoe,Ray,11,Gold,F\r\nA,101,Ann,Lee,12,Blue,F\r\n");
    csv.close();
    main->PageControl->setCurrentIndex(1);
    DataGrid* grid = main->athleteDBGrid;
    grid->setFocus();
    grid->setSelectedField("team");
    typeKeys(grid, "Green"); // athlete 101
    pressKey(grid, Qt::Key_Return);
    ui.confirmAnswers << true << true;
    ui.openAnswers << file << file;
    main->btnImport->click();
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    const QStringList imported{"33 Zoe Gold", "101 Ann Blue"};
    EXPECT_EQ(lines("SELECT number, firstname, team FROM athletes ORDER BY number"),
              imported)
        << "the edit was stored before the import replaced the athletes";

    // A pending edit that cannot be stored stops the import before anything
    // changed, with the post's message.
    grid->setSelectedField("number");
    typeKeys(grid, "101"); // on athlete 33
    pressKey(grid, Qt::Key_Return);
    main->btnImport->click();
    ASSERT_FALSE(ui.errors.isEmpty());
    EXPECT_TRUE(ui.errors[0].contains("UNIQUE")) << ui.errors[0].toStdString();
    EXPECT_EQ(lines("SELECT number, firstname, team FROM athletes ORDER BY number"),
              imported);
    EXPECT_EQ(main->AthleteTable().state(), DataSet::State::Edit) << "the edit is kept to be corrected";
}

TEST_F(MainFormTest, EmptiedTimerCodeIsStoredNullAndDateTimeIsTypedAsShown)
{
    addMeet();
    sql("UPDATE event SET tg_event = '100' WHERE event = '100M'");
    main->EventTable().Refresh();
    main->PageControl->setCurrentIndex(3);
    DataGrid* events = main->eventDBGrid;
    events->setFocus();
    events->setSelectedField("tg_event");
    typeKeys(events, "x");
    pressKey(events, Qt::Key_Backspace);
    pressKey(events, Qt::Key_Return);
    pressKey(events, Qt::Key_Down);
    EXPECT_EQ(lines("SELECT event, tg_event FROM event ORDER BY event"),
              (QStringList{"100M null", "f null"}));

    main->PageControl->setCurrentIndex(0);
    DataGrid* races = main->raceDBGrid;
    races->setFocus();
    races->setSelectedField("datetime");
    typeKeys(races, "09/12/2026 10:40"); // race 1, as the grid shows it
    pressKey(races, Qt::Key_Return);
    pressKey(races, Qt::Key_Down);
    typeKeys(races, "2026-12-09 10:45"); // race 2, as it is stored
    pressKey(races, Qt::Key_Return);
    pressKey(races, Qt::Key_Up);
    EXPECT_EQ(lines("SELECT race_id_pk, datetime FROM races WHERE race_id_pk < 3"),
              (QStringList{"1 2026-12-09 10:40:00", "2 2026-12-09 10:45:00"}));
    EXPECT_EQ(races->gridModel().data(races->gridModel().index(0, races->columnOf("datetime")), Qt::DisplayRole),
              QVariant(QStringLiteral("09/12/2026 10:40")));

    // A clock reading in the hour the clocks jump over is still the time typed.
    LondonClock london;
    typeKeys(races, "29/03/2026 01:30");
    pressKey(races, Qt::Key_Return);
    pressKey(races, Qt::Key_Down);
    EXPECT_EQ(lines("SELECT datetime FROM races WHERE race_id_pk = 1"),
              QStringList{"2026-03-29 01:30:00"});
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
}

TEST_F(MainFormTest, TextLongerThanItsColumnIsRefusedByImportAndGrid)
{
    const QString file = dir.filePath("meet.csv");
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("A,8,Bo,Ray,11,Gold,M\r\nA,7,Ann,Lee,12,Blue,Girl\r\nA,9,Cy,Sol,12,Red,M\r\n");
    csv.close();
    ui.confirmAnswers << true;
    ui.openAnswers << file;
    main->btnImport->click();
    ASSERT_EQ(ui.errors.size(), 1);
    EXPECT_TRUE(ui.errors[0].startsWith("Failed to Save data to Database, error on line: 1\n")) << ui.errors[0].toStdString();
    EXPECT_TRUE(ui.errors[0].contains("athletes.gender holds at most 1 character")) << ui.errors[0].toStdString();

    ui.errors.clear();
    sql("INSERT INTO athletes (number, team) VALUES (9, 'Red')");
    main->AthleteTable().Refresh();
    main->PageControl->setCurrentIndex(1);
    DataGrid* grid = main->athleteDBGrid;
    grid->setFocus();
    grid->setSelectedField("team");
    // The cell editor stops at the column's width and says so beside it;
    // Enter stores what it holds.
    typeKeys(grid, "Twenty-one characters"); // athlete 8
    EXPECT_EQ(QToolTip::text(), "Team holds at most 20 characters");
    pressKey(grid, Qt::Key_Return);
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    EXPECT_EQ(main->AthleteTable().state(), DataSet::State::Browse);
    EXPECT_EQ(lines("SELECT number, team FROM athletes ORDER BY number"),
              (QStringList{"8 Twenty-one character", "9 Red"}));
}

} // namespace
