// The results board in a real browser: Debian's chromium, headless, driven
// over its DevTools pipe. A race page served from a test meet must show a
// scan stored by the station within 2 s without a reload, and the print
// stylesheet must give one page per race.

#include "store/Database.h"
#include "store/Query.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int bound = 15000; // ms to wait for a program: generous, never a guess at timing

QStringList chromiumArguments(const QString& profile)
{
    QStringList args{QStringLiteral("--headless"), QStringLiteral("--disable-gpu"), QStringLiteral("--no-first-run"),
                     QStringLiteral("--user-data-dir=") + profile};
    if (::geteuid() == 0)
        args << QStringLiteral("--no-sandbox"); // chromium refuses root otherwise
    return args;
}

// vexo-results on a free port of the loopback, over the meet in `folder`.
class Board {
public:
    explicit Board(const QString& folder)
    {
        m_process.start(QStringLiteral(RESULTS_BOARD_PATH),
                        {QStringLiteral("--data"), folder, QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                         QStringLiteral("--port"), QStringLiteral("0")});
        const QRegularExpression address(QStringLiteral("  (http://127\\.0\\.0\\.1:\\d+)/"));
        QDeadlineTimer deadline(bound);
        QByteArray seen;
        while (!deadline.hasExpired() && m_process.waitForReadyRead(int(deadline.remainingTime()))) {
            seen += m_process.readAllStandardOutput();
            const auto match = address.match(QString::fromUtf8(seen));
            if (match.hasMatch()) {
                url = match.captured(1);
                return;
            }
        }
    }
    ~Board()
    {
        m_process.terminate();
        m_process.waitForFinished(bound);
    }

    QString url; // empty when it did not start

private:
    QProcess m_process;
};

// Chromium headless with its DevTools protocol on fds 3 and 4, each message
// JSON ended by a NUL.
class Chromium {
public:
    explicit Chromium(const QString& url)
    {
        if (::pipe(m_commands) != 0 || ::pipe(m_replies) != 0)
            return;
        const int in = m_commands[0], out = m_replies[1];
        m_process.setChildProcessModifier([in, out] {
            ::dup2(in, 3);
            ::dup2(out, 4);
        });
        m_process.start(QStringLiteral("chromium"), chromiumArguments(m_profile.path())
                                                        << QStringLiteral("--remote-debugging-pipe") << url);
        ::close(m_commands[0]);
        ::close(m_replies[1]);
    }
    ~Chromium()
    {
        ::close(m_commands[1]);
        ::close(m_replies[0]);
        m_process.terminate();
        if (!m_process.waitForFinished(bound))
            m_process.kill();
    }

    // The first page's session; empty when there is none.
    QString attachToPage()
    {
        QDeadlineTimer deadline(bound);
        while (!deadline.hasExpired()) {
            const QJsonArray targets = call(QStringLiteral("Target.getTargets"))[QStringLiteral("targetInfos")].toArray();
            for (const QJsonValue& t : targets)
                if (t[QStringLiteral("type")].toString() == QLatin1String("page"))
                    return call(QStringLiteral("Target.attachToTarget"),
                                QJsonObject{{QStringLiteral("targetId"), t[QStringLiteral("targetId")]},
                                            {QStringLiteral("flatten"), true}})[QStringLiteral("sessionId")]
                        .toString();
            ::usleep(100000);
        }
        return QString();
    }

    // The value of a script in the page.
    QJsonValue evaluate(const QString& session, const QString& expression)
    {
        return call(QStringLiteral("Runtime.evaluate"),
                    QJsonObject{{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}},
                    session)[QStringLiteral("result")][QStringLiteral("value")];
    }

    // Waits until the script in the page gives true; the time it took, or -1.
    qint64 waitFor(const QString& session, const QString& expression)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < bound) {
            if (evaluate(session, expression).toBool())
                return clock.elapsed();
            ::usleep(20000);
        }
        return -1;
    }

private:
    QJsonObject call(const QString& method, const QJsonObject& params = {}, const QString& session = {})
    {
        QJsonObject message{{QStringLiteral("id"), ++m_id}, {QStringLiteral("method"), method},
                            {QStringLiteral("params"), params}};
        if (!session.isEmpty())
            message.insert(QStringLiteral("sessionId"), session);
        const QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0';
        if (::write(m_commands[1], bytes.constData(), size_t(bytes.size())) != bytes.size())
            return {};
        QDeadlineTimer deadline(bound);
        while (!deadline.hasExpired()) {
            const qsizetype end = m_received.indexOf('\0');
            if (end >= 0) {
                const QJsonObject reply = QJsonDocument::fromJson(m_received.left(end)).object();
                m_received.remove(0, end + 1);
                if (reply[QStringLiteral("id")].toInt() == m_id)
                    return reply[QStringLiteral("result")].toObject();
                continue; // an event, or the answer to another call
            }
            pollfd p{m_replies[0], POLLIN, 0};
            if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
                break;
            char chunk[65536];
            const ssize_t n = ::read(m_replies[0], chunk, sizeof chunk);
            if (n <= 0)
                break;
            m_received.append(chunk, n);
        }
        return {};
    }

    QTemporaryDir m_profile;
    QProcess m_process;
    int m_commands[2] = {-1, -1};
    int m_replies[2] = {-1, -1};
    int m_id = 0;
    QByteArray m_received;
};

// The text of each page of a printed PDF, as pdftotext reads it (pages end
// in a form feed).
QStringList printedPages(const QString& url, const QString& folder)
{
    QTemporaryDir profile;
    const QString pdf = folder + QStringLiteral("/sheet.pdf");
    QFile::remove(pdf);
    QProcess chromium;
    chromium.start(QStringLiteral("chromium"), chromiumArguments(profile.path())
                                                   << QStringLiteral("--no-pdf-header-footer")
                                                   << QStringLiteral("--print-to-pdf=") + pdf << url);
    if (!chromium.waitForFinished(60000))
        chromium.kill();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    text.waitForFinished(60000);
    QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

class ResultsBoardBrowser : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"chromium", "pdftotext"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed (scripts/install-deps installs it)";
        db = std::make_unique<Database>(dir.path(), QStringLiteral("station"));
        query = std::make_unique<Query>(*db);
        for (const char* sql : {
                 "insert into athletes ([number],[firstname],[surname],[age],[team],[gender]) values "
                 "(101,'Ann','Fast',12,'Harriers','F')",
                 "insert into athletes ([number],[firstname],[surname],[age],[team],[gender]) values "
                 "(102,'Zoë','<i>Ñúñez</i>',12,'','F')",
                 "insert into races ([race_id_pk],[number],[datetime],[event],[completed],[age],[gender],[heat],"
                 "[hf],[mode]) values (11,5,#2026/12/10 10:05#,'100M',1,12,'F',1,'','LANE')",
                 "insert into races ([race_id_pk],[number],[datetime],[event],[completed],[age],[gender],[heat],"
                 "[hf],[mode]) values (22,6,#2026/12/10 10:20#,'100M',1,12,'F',2,'','LANE')",
                 "insert into result ([race_id_pk],[place],[value],[lane],[athlete_number]) values "
                 "(11,'1',12.4,'3',101)",
                 "insert into result ([race_id_pk],[place],[value],[lane]) values (11,'2',12.9,'4')",
                 "insert into result ([race_id_pk],[place],[value],[lane]) values (22,'1',13.1,'2')",
             }) {
            query->setSQL(sql);
            query->ExecSQL();
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<Database> db;
    std::unique_ptr<Query> query;
};

TEST_F(ResultsBoardBrowser, AScanShowsWithoutAReloadAndEachRacePrintsOnItsOwnPage)
{
    Board board(dir.path());
    ASSERT_FALSE(board.url.isEmpty()) << "vexo-results did not start";

    {
        Chromium chromium(board.url + QStringLiteral("/race/11"));
        const QString page = chromium.attachToPage();
        ASSERT_FALSE(page.isEmpty()) << "chromium showed no page";
        ASSERT_GE(chromium.waitFor(page, QStringLiteral("document.readyState === 'complete' && "
                                                        "!!document.getElementById('live')")),
                  0);
        chromium.evaluate(page, QStringLiteral("window.vexoSamePage = 42"));
        // Give the page's script time to ask after changes, as a spectator's
        // page does long before the next scan.
        ::usleep(300000);

        query->setSQL("update result set [athlete_number] = 102 where [race_id_pk] = 11 and [place] = '2'");
        query->ExecSQL();
        const qint64 shownAfter = chromium.waitFor(
            page, QStringLiteral("document.getElementById('live').textContent.includes('Zoë <i>Ñúñez</i>')"));
        ASSERT_GE(shownAfter, 0) << "the scan never showed";
        EXPECT_LT(shownAfter, 2000) << "the scan showed only after " << shownAfter << " ms";
        RecordProperty("scan_shown_after_ms", int(shownAfter));
        EXPECT_EQ(chromium.evaluate(page, QStringLiteral("window.vexoSamePage")).toInt(), 42)
            << "the page was reloaded";
        EXPECT_EQ(chromium.evaluate(page, QStringLiteral("document.querySelectorAll('i').length")).toInt(), 0)
            << "a name was taken as markup";
    }

    // One completed race a page, each with its own header.
    const QStringList sheets = printedPages(board.url + QStringLiteral("/print"), dir.path());
    ASSERT_EQ(sheets.size(), 2) << sheets.join(QStringLiteral("\n----\n")).toStdString();
    EXPECT_TRUE(sheets[0].contains(QStringLiteral("Race 6")) != sheets[1].contains(QStringLiteral("Race 6")));
    EXPECT_TRUE(sheets.join(QString()).contains(QStringLiteral("Race 5")));
    const QStringList one = printedPages(board.url + QStringLiteral("/race/22"), dir.path());
    ASSERT_EQ(one.size(), 1);
    EXPECT_TRUE(one[0].contains(QStringLiteral("Race 6")) && !one[0].contains(QStringLiteral("Race 5")))
        << one[0].toStdString();
}

} // namespace
