#include "GridTyping.h"
#include "MainFormFixture.h"

#include "entry/Racedetailsdialog.h"
#include "shell/Application.h"
#include "shell/DataGrid.h"
#include "store/ErrorReport.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QToolButton>

#include <csignal>
#include <sys/resource.h>

namespace {

// A disk with no room left, as far as this process can tell: no write may
// take a file past limit bytes. SIGXFSZ is ignored, so such a write fails
// (EFBIG) instead of ending the process; the space comes back when the
// object goes.
class FullDisk {
public:
    explicit FullDisk(rlim_t limit = 0)
    {
        getrlimit(RLIMIT_FSIZE, &m_before);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit full = m_before;
        full.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &full);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handler);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

private:
    rlimit m_before{};
    void (*m_handler)(int) = SIG_DFL;
};

class FullDiskTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        setErrorReporter([this](const QString& message) { reports << message; });
    }
    void TearDown() override
    {
        setErrorReporter(nullptr);
        MainFormFixture::TearDown();
    }

    static QByteArray race(int number)
    {
        return "00:00,01/01/00," + QByteArray::number(number) + ",LANE,U12G,100M,,1,1,12.34,B1,2,12.56,B2,\r\n";
    }

    static QByteArray fileBytes(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    int raceKey(int number)
    {
        return scalar(QStringLiteral("SELECT race_id_pk FROM races WHERE number = %1").arg(number)).toInt();
    }

    QString scanned(int number)
    {
        return scalar(QStringLiteral("SELECT group_concat(ifnull(athlete_number, ''), ',') FROM (SELECT "
                                     "athlete_number FROM result WHERE race_id_pk = %1 ORDER BY result_id_pk)")
                          .arg(raceKey(number)))
            .toString();
    }

    // The scan of one bib into the race's next place, in the race details
    // window as the race list opens it; a window already open goes on.
    void scanInto(int raceNumber, const QString& bib)
    {
        TRaceDetailsForm* details = windows->raceDetailsForm;
        if (!details->isVisible())
            details->openForRace(raceKey(raceNumber), QStringLiteral("Race"));
        QApplication::setActiveWindow(details);
        ASSERT_TRUE(QTest::qWaitForWindowActive(details));
        scan(details->resultDBGrid, bib);
    }

    // What the database, the files and the settings hold, to compare before
    // and after the disk ran full.
    QStringList stored()
    {
        return {scalar("SELECT count(*) FROM athletes").toString(), scalar("SELECT count(*) FROM races").toString(),
                scanned(1), QString::fromUtf8(fileBytes(results)), QString::fromUtf8(fileBytes(places.settingsFile))};
    }

    void expectDiskFullBox(const char* what)
    {
        ASSERT_EQ(ui.errors.size(), 1) << what << ": " << ui.errors.join('\n').toStdString();
        EXPECT_TRUE(ui.errors[0].contains("the disk is full")) << what << ": " << ui.errors[0].toStdString();
        EXPECT_TRUE(ui.errors[0].contains("Free some space")) << what << ": " << ui.errors[0].toStdString();
        ui.errors.clear();
    }

    QString integrity() { return scalar("PRAGMA integrity_check").toString(); }

    // The engine's answer to a checkpoint of its write-ahead log (held up,
    // frames in the log, frames moved), or nothing when it failed.
    QVariant checkpoint()
    {
        QSqlQuery q(main->database().connection());
        if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")) || !q.next())
            return {};
        return QVariantList{q.value(0), q.value(1), q.value(2)};
    }

    QString results = dir.filePath("results.csv");
    QStringList reports;
};

TEST_F(FullDiskTest, EveryWriteFailsWithAClearBoxLosesNothingAndWorksAgainOnceThereIsSpace)
{
    ui.confirmAnswers << true;
    ui.openAnswers << QStringLiteral(VEXO_SAMPLES_DIR "/meet.csv");
    main->btnImport->click();
    main->ProcessRaceData(race(1), QStringLiteral("A"));
    scanInto(1, QStringLiteral("101"));
    ui.saveAnswers << results;
    main->btnExport->click();
    ASSERT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    const QStringList before = stored();
    ASSERT_EQ(before[2], "101,");
    const QByteArray journalBefore = fileBytes(main->raceJournal.fileName());

    {
        // Room for a few bytes of the journal entry only: the journal keeps
        // whole entries, says once that it cannot be written, and the race
        // is not lost with it.
        FullDisk full(rlim_t(journalBefore.size() + 10));
        main->ProcessRaceData(race(2), QStringLiteral("A"));
        // One box for the text: the race's own failure and the journal's.
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_TRUE(ui.errors[0].contains(main->raceJournal.fileName())) << ui.errors[0].toStdString();
        EXPECT_TRUE(ui.errors[0].contains("Free some space")) << ui.errors[0].toStdString();
        expectDiskFullBox("race");
        EXPECT_EQ(fileBytes(main->raceJournal.fileName()), journalBefore);
        EXPECT_TRUE(reports.isEmpty());
    }
    {
        FullDisk full;
        main->ProcessRaceData(race(3), QStringLiteral("A"));
        ASSERT_EQ(ui.errors.size(), 1);
        EXPECT_FALSE(ui.errors[0].contains(main->raceJournal.fileName())) << "the journal's failure is told once";
        expectDiskFullBox("race");

        // A handler that throws ends in the standard error box, as the
        // application's event handling does it.
        ui.confirmAnswers << true;
        ui.openAnswers << QStringLiteral(VEXO_SAMPLES_DIR "/meet.csv");
        runGuarded([&] { main->btnImport->click(); });
        expectDiskFullBox("import");

        ui.saveAnswers << results;
        main->btnExport->click();
        expectDiskFullBox("export");

        runGuarded([&] { main->cbDualComPorts->click(); });
        expectDiskFullBox("settings");

        // Last, as a scan the disk did not take stays in its row, to be
        // stored before anything else reads the races.
        scanInto(1, QStringLiteral("102"));
        expectDiskFullBox("scan");

        // A checkpoint that cannot write the database file leaves it and
        // the connection as they were.
        EXPECT_FALSE(checkpoint().isValid());
        EXPECT_EQ(integrity(), "ok");
        EXPECT_EQ(stored(), before);
        EXPECT_EQ(fileBytes(main->raceJournal.fileName()), journalBefore);
    }

    // Space again, and the same program goes on: the scan is stored when
    // it is made again, the refused race when it is processed again, and
    // every operation works.
    scanInto(1, QStringLiteral("102"));
    EXPECT_EQ(scanned(1), "101,102");
    main->ProcessRaceData(race(4), QStringLiteral("A"));
    ui.dialogAnswers.enqueue([](QDialog&) { return true; });
    main->btnProcessAgain->click();
    EXPECT_EQ(scanned(4), ",");
    EXPECT_EQ(scanned(3), ",") << "the race refused last is offered again";
    ui.saveAnswers << results;
    main->btnExport->click();
    EXPECT_TRUE(fileBytes(results).contains(",102,100M,12.56\r\n")) << fileBytes(results).constData();
    main->cbDualComPorts->click(); // off again
    main->cbDualComPorts->click();
    EXPECT_TRUE(fileBytes(places.settingsFile).contains("dualComPorts=1"));
    ui.confirmAnswers << true;
    ui.openAnswers << QStringLiteral(VEXO_SAMPLES_DIR "/meet.csv");
    main->btnImport->click();
    EXPECT_EQ(count("races"), 0) << "the import cleared the races";
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join('\n').toStdString();
    const QVariantList done = checkpoint().toList();
    ASSERT_EQ(done.size(), 3);
    EXPECT_EQ(done[0].toInt(), 0) << "the checkpoint was not held up";
    EXPECT_EQ(done[1], done[2]) << "every frame of the log reached the database file";
    EXPECT_EQ(integrity(), "ok");

    const QByteArray journal = fileBytes(main->raceJournal.fileName());
    ASSERT_TRUE(journal.startsWith(journalBefore));
    EXPECT_TRUE(journal.mid(journalBefore.size()).startsWith("=== ")) << "no torn entry is left behind";
    EXPECT_TRUE(journal.contains(race(4))) << journal.constData();
}

} // namespace
