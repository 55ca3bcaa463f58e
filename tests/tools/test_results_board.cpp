// The results board over a meet stored by the station's own store library:
// what the pages and the JSON say, that the board follows the station's
// commits, and that it only ever reads.

#include "results-board/BoardText.h"
#include "results-board/HttpRequest.h"
#include "results-board/ResultsBoard.h"

#include "store/StoreFixture.h"
#include "support/Eventually.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>

namespace {

class ResultsBoardTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        storeMeet();
        board = std::make_unique<ResultsBoard>(std::make_unique<MeetReader>(settings, dir.path()));
        board->setClock([] { return QDateTime(QDate(2026, 12, 10), QTime(11, 30)); });
    }
    void TearDown() override
    {
        board.reset();
        StoreFixture::TearDown();
    }

    void run(const QByteArray& sql)
    {
        query->setSQL(sql);
        query->ExecSQL();
    }

    // Race 1, Completed: a record, a personal best, hostile names, a place
    // over a minute for an athlete the meet does not know, and a CTK row
    // without a time. Race 2, later and provisional, has no places yet.
    void storeMeet()
    {
        run("insert into athletes ([number],[firstname],[surname],[age],[team],[gender]) values "
            "(101,'Ann','Fast',12,'Harriers','F')");
        run("insert into athletes ([number],[firstname],[surname],[age],[team],[gender]) values "
            "(102,'Zoë','Ñúñez',12,'Harriers','F')");
        run("insert into athletes ([number],[firstname],[surname],[age],[team],[gender]) values "
            "(103,'<script>x</script>','O''Brien \"Q\"',12,'','F')");
        run("insert into record ([gender],[event],[age],[value],[type]) values ('F','100M',12,12.5,1)");
        run("insert into pb ([athlete_number],[event],[value]) values (102,'100M',13)");
        run("insert into pb ([athlete_number],[event],[value]) values (103,'100M',13)");
        run("insert into races ([race_id_pk],[number],[datetime],[event],[completed],[age],[gender],[heat],[hf],"
            "[mode]) values (11,5,#2026/12/10 10:05#,'100M',1,12,'F',2,'','LANE')");
        run("insert into races ([race_id_pk],[number],[datetime],[event],[completed],[age],[gender],[heat],[hf],"
            "[mode]) values (22,6,#2026/12/10 10:20#,'200M',0,14,'M',0,'','LANE')");
        run("insert into result ([race_id_pk],[place],[value],[lane]) values (11,'',99999,'CTK')");
        run("insert into result ([race_id_pk],[place],[value],[lane],[athlete_number]) values (11,'4',65.3,'6',999)");
        run("insert into result ([race_id_pk],[place],[value],[lane],[athlete_number]) values (11,'3',13.2,'5',103)");
        run("insert into result ([race_id_pk],[place],[value],[lane],[athlete_number]) values (11,'2',12.9,'4',102)");
        run("insert into result ([race_id_pk],[place],[value],[lane],[athlete_number]) values (11,'1',12.4,'3',101)");
    }

    HttpResponse get(const QByteArray& target, const QByteArray& method = "GET")
    {
        HttpRequest request;
        qsizetype used = 0;
        EXPECT_EQ(parseHttpRequest(method + ' ' + target + " HTTP/1.1\r\nHost: x\r\n\r\n", request, used),
                  HttpParse::Complete);
        return board->answer(request);
    }

    QJsonObject json(const QByteArray& target)
    {
        const HttpResponse r = get(target);
        EXPECT_EQ(r.status, 200) << target.constData();
        return QJsonDocument::fromJson(r.body).object();
    }

    std::unique_ptr<ResultsBoard> board;
};

TEST(BoardText, TimesFollowOneRule)
{
    const struct {
        double seconds;
        const char* text;
    } cases[] = {{12.34, "12.34"}, {9.87, "9.87"}, {59.994, "59.99"}, {59.996, "1:00.00"},
                 {60, "1:00.00"},  {125.3, "2:05.30"}, {99999, ""},   {0, ""}};
    for (const auto& c : cases)
        EXPECT_EQ(BoardText::time(c.seconds), QString::fromUtf8(c.text)) << c.seconds;
}

TEST_F(ResultsBoardTest, RacesAndPlacesAsJsonAndPages)
{
    const QJsonArray races = json("/api/races")[QStringLiteral("races")].toArray();
    ASSERT_EQ(races.size(), 2);
    EXPECT_EQ(races[0][QStringLiteral("key")].toInt(), 22); // newest first
    EXPECT_EQ(races[1][QStringLiteral("datetime")].toString(), QStringLiteral("2026-12-10T10:05:00"));
    EXPECT_TRUE(races[1][QStringLiteral("completed")].toBool());

    const QJsonArray places = json("/api/races/11")[QStringLiteral("places")].toArray();
    const struct {
        const char* place;
        double time; // 0: null
        const char* lane;
        int number; // 0: no athlete
        const char* surname;
        bool pb, record, noTeam;
    } expected[] = {
        {"1", 12.4, "3", 101, "Fast", false, true, false},
        {"2", 12.9, "4", 102, "Ñúñez", true, false, false},
        {"3", 13.2, "5", 103, "O'Brien \"Q\"", false, false, true},
        {"4", 65.3, "6", 999, "", false, false, true},
        {"", 0, "CTK", 0, "", false, false, true},
    };
    ASSERT_EQ(places.size(), std::size(expected));
    for (qsizetype i = 0; i < places.size(); ++i) {
        const QJsonObject p = places[i].toObject();
        const auto& e = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(p[QStringLiteral("place")].toString(), QString::fromUtf8(e.place));
        if (e.time == 0)
            EXPECT_TRUE(p[QStringLiteral("time")].isNull());
        else
            EXPECT_DOUBLE_EQ(p[QStringLiteral("time")].toDouble(), e.time);
        EXPECT_EQ(p[QStringLiteral("lane")].toString(), QString::fromUtf8(e.lane));
        EXPECT_EQ(p[QStringLiteral("pb")].toBool(), e.pb);
        EXPECT_EQ(p[QStringLiteral("record")].toBool(), e.record);
        const QJsonValue athlete = p[QStringLiteral("athlete")];
        if (e.number == 0) {
            EXPECT_TRUE(athlete.isNull());
            continue;
        }
        EXPECT_EQ(athlete[QStringLiteral("number")].toInt(), e.number);
        EXPECT_EQ(athlete[QStringLiteral("surname")].toString(), QString::fromUtf8(e.surname));
        EXPECT_EQ(athlete[QStringLiteral("team")].isNull(), e.noTeam);
    }

    const QByteArray page = get("/race/11").body;
    EXPECT_TRUE(page.contains("&lt;script&gt;x&lt;/script&gt;")) << page.constData();
    EXPECT_FALSE(page.contains("<script>x"));
    EXPECT_TRUE(page.contains("O&#39;Brien &quot;Q&quot;"));
    EXPECT_TRUE(page.contains("Ñúñez"));
    EXPECT_TRUE(page.contains("<td class=\"time\">1:05.30</td>"));
    EXPECT_TRUE(page.contains("<tr class=\"record\"><td>1</td>"));
    EXPECT_TRUE(page.contains("<tr class=\"pb\"><td>2</td>"));
    EXPECT_TRUE(page.contains("Official · 10:05"));
    EXPECT_TRUE(page.contains("Printed 2026-12-10 11:30"));
    EXPECT_TRUE(get("/race/22").body.contains("Provisional"));
    EXPECT_EQ(get("/race/33").status, 404);
    EXPECT_EQ(get("/api/races/x1").status, 404);

    // Filters by event and by age group and gender; the live part alone.
    const QByteArray filtered = get("/?event=100M&group=U12+F&part=main").body;
    EXPECT_TRUE(filtered.contains("/race/11"));
    EXPECT_FALSE(filtered.contains("/race/22"));
    EXPECT_FALSE(filtered.contains("<html"));
    // Only completed races are printed or announced.
    EXPECT_EQ(get("/print").body.count("<section class=\"sheet\">"), 1);
    EXPECT_TRUE(get("/announcer").body.contains("Race 5 · 100M · U12 F · Heat 2"));
}

TEST_F(ResultsBoardTest, AnswersOnlyGetAndHeadWithItsOwnPolicy)
{
    const HttpResponse post = get("/api/races", "POST");
    EXPECT_EQ(post.status, 405);
    EXPECT_EQ(post.allow, "GET, HEAD");
    EXPECT_EQ(get("/race/11", "DELETE").status, 405);

    const QByteArray head = get("/race/11", "HEAD").serialize(true, true);
    EXPECT_TRUE(head.endsWith("\r\n\r\n"));
    EXPECT_TRUE(head.contains("Content-Length: " + QByteArray::number(get("/race/11").body.size())));
    EXPECT_TRUE(head.contains("Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self';"));

    // Request heads: bounded in size and header count; a body is refused.
    HttpRequest r;
    qsizetype used = 0;
    QByteArray many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i <= HttpRequest::maxHeaders; ++i)
        many += "X-" + QByteArray::number(i) + ": 1\r\n";
    EXPECT_EQ(parseHttpRequest(many + "\r\n", r, used), HttpParse::TooLarge);
    EXPECT_EQ(parseHttpRequest("GET / HTTP/1.1\r\nX: " + QByteArray(HttpRequest::maxHeadBytes, 'a'), r, used),
              HttpParse::TooLarge);
    EXPECT_EQ(parseHttpRequest("GET / HTTP/1.1\r\nX: 1\r\n", r, used), HttpParse::Incomplete);
    EXPECT_EQ(parseHttpRequest("GET /\r\n\r\n", r, used), HttpParse::Malformed);
    ASSERT_EQ(parseHttpRequest("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", r, used), HttpParse::Complete);
    EXPECT_TRUE(r.hasBody);
}

TEST_F(ResultsBoardTest, FollowsTheStationsCommitsAndOnlyReads)
{
    const quint64 start = board->generation();
    board->tick();
    EXPECT_EQ(board->generation(), start) << "a quiet meet reads nothing again";

    // A scan and a corrected time, stored by the station while the board
    // holds its connection: the station is never locked out.
    run("update result set [athlete_number] = 101 where [lane] = 'CTK'");
    run("update result set [value] = 12.3 where [athlete_number] = 101 and [lane] = '3'");
    board->tick();
    EXPECT_EQ(board->generation(), start + 1);
    EXPECT_TRUE(get("/race/11?part=main").body.contains("<td class=\"time\">12.30</td>"));
    EXPECT_EQ(board->meet().race(11)->places.last().athleteNumber, 101);

    // The board's connection refuses to write, whatever reaches it.
    for (const QString& name : QSqlDatabase::connectionNames()) {
        if (!name.startsWith(QLatin1String("vexo-results")))
            continue;
        QSqlQuery write(QSqlDatabase::database(name, false));
        EXPECT_FALSE(write.exec(QStringLiteral("DELETE FROM races"))) << name.toStdString();
    }
    EXPECT_EQ(count("races"), 2);
    if (!onServer()) {
        const QString wal = db->filePath() + QStringLiteral("-wal");
        EXPECT_TRUE(QFile::exists(wal));
        board.reset(); // closing the board leaves the station's log in place
        EXPECT_TRUE(QFile::exists(wal));
        run("insert into pb ([athlete_number],[event],[value]) values (101,'200M',30)");
        EXPECT_EQ(count("pb"), 3);
    }
}

TEST_F(ResultsBoardTest, FollowsADatabaseReplacedUnderIt)
{
    if (onServer())
        GTEST_SKIP() << "a server's database is not a file that can be replaced";
    QTemporaryDir other;
    {
        Database fresh(other.path(), QStringLiteral("fresh"));
        Query q(fresh);
        q.setSQL("insert into races ([race_id_pk],[number],[datetime],[event],[completed],[age],[gender],[heat],"
                 "[hf],[mode]) values (7,1,#2026/12/11 09:00#,'60M',0,9,'M',0,'','LANE')");
        q.ExecSQL();
    }
    const QString file = db->filePath();
    query.reset();
    db.reset();
    for (const char* side : {"", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(side));
    board->tick();
    EXPECT_FALSE(board->meet().problem.isEmpty()) << "no database: the board says so and waits";
    ASSERT_TRUE(QFile::rename(other.filePath(QStringLiteral("VEXO_ACC.db")), file));
    board->tick();
    EXPECT_TRUE(board->meet().problem.isEmpty()) << board->meet().problem.toStdString();
    ASSERT_EQ(board->meet().races.size(), 1);
    EXPECT_EQ(board->meet().races.first().key, 7);
}

// Over the wire: a client that sends half a request and stops holds up
// nobody, and a request with a body is refused without reading it.
TEST_F(ResultsBoardTest, ASlowClientHoldsUpNobody)
{
    HttpServer server([this](HttpConnection* c, const HttpRequest& r) { board->handle(c, r); });
    QString problem;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0, problem)) << problem.toStdString();
    auto exchange = [&](QTcpSocket& socket, const QByteArray& request, const QByteArray& until) {
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        socket.write(request);
        QByteArray answer;
        eventually([&] {
            answer += socket.readAll();
            return answer.contains(until);
        });
        return answer;
    };
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, server.port());
    slow.write("GET /race/11 HTTP/1.1\r\nHost: bo");
    QTcpSocket quick;
    EXPECT_TRUE(exchange(quick, "GET /api/races HTTP/1.1\r\nHost: board\r\n\r\n", "]}").startsWith("HTTP/1.1 200"));
    QTcpSocket poster;
    const QByteArray refused =
        exchange(poster, "POST /race/11 HTTP/1.1\r\nContent-Length: 4\r\n\r\nmark", "Connection: close");
    EXPECT_TRUE(refused.startsWith("HTTP/1.1 405")) << refused.constData();
    EXPECT_EQ(count("races"), 2);
    EXPECT_TRUE(slow.readAll().isEmpty());
}

} // namespace
