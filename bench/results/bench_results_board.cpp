// The results board on a big meet: 500 races of 12 places (6,000 places),
// every athlete known, with personal bests and records. What a page and the
// JSON cost, what reading the meet again after a commit costs, and what
// 200 browsers following a quiet meet cost the running program.

#include "BenchSize.h"
#include "results-board/HttpRequest.h"
#include "results-board/ResultsBoard.h"

#include "store/Database.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

namespace {

constexpr int races = 500;
constexpr int perRace = 12;
constexpr int athletes = 2000;

void fillMeet(Database& db)
{
    static const char* const events[] = {"60M", "100M", "200M", "400M", "800M", "1500M", "80MH", "3000M"};
    db.inTransaction([&] {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral("insert into athletes (number, firstname, surname, age, team, gender) "
                                 "values (?, ?, ?, ?, ?, ?)"));
        for (int a = 1; a <= athletes; ++a) {
            q.addBindValue(a);
            q.addBindValue(QStringLiteral("First%1").arg(a));
            q.addBindValue(QStringLiteral("Surname%1").arg(a));
            q.addBindValue(9 + a % 8);
            q.addBindValue(QStringLiteral("Team %1").arg(a % 30));
            q.addBindValue(a % 2 ? QStringLiteral("F") : QStringLiteral("M"));
            q.exec();
        }
        q.prepare(QStringLiteral("insert into pb (athlete_number, event, value) values (?, ?, ?)"));
        for (int a = 1; a <= athletes; ++a) {
            q.addBindValue(a);
            q.addBindValue(QString::fromLatin1(events[a % std::size(events)]));
            q.addBindValue(12.0 + a % 7);
            q.exec();
        }
        q.prepare(QStringLiteral("insert into races (race_id_pk, number, datetime, event, completed, age, gender, "
                                 "heat, hf, mode) values (?, ?, ?, ?, ?, ?, ?, ?, '', 'LANE')"));
        QSqlQuery place(db.connection());
        place.prepare(QStringLiteral("insert into result (race_id_pk, place, value, lane, athlete_number) "
                                     "values (?, ?, ?, ?, ?)"));
        for (int r = 0; r < races; ++r) {
            q.addBindValue(1000 + r);
            q.addBindValue(r + 1);
            q.addBindValue(QStringLiteral("2026-06-%1 %2:%3:00")
                               .arg(10 + r / 200)
                               .arg(8 + (r % 200) / 20, 2, 10, QLatin1Char('0'))
                               .arg((r % 20) * 3, 2, 10, QLatin1Char('0')));
            q.addBindValue(QString::fromLatin1(events[r % std::size(events)]));
            q.addBindValue(r % 4 != 3 ? 1 : 0);
            q.addBindValue(9 + r % 8);
            q.addBindValue(r % 2 ? QStringLiteral("F") : QStringLiteral("M"));
            q.addBindValue(1 + r % 4);
            q.exec();
            for (int p = 1; p <= perRace; ++p) {
                place.addBindValue(1000 + r);
                place.addBindValue(QString::number(p));
                place.addBindValue(p == perRace ? 99999.0 : 11.5 + p * 0.37 + (r % 100) / 100.0);
                place.addBindValue(QString::number(p));
                place.addBindValue(1 + (r * perRace + p) % athletes);
                place.exec();
            }
        }
    });
}

// One meet for every benchmark, made once.
struct BigMeet {
    BigMeet()
    {
        Database db(dir.path(), QStringLiteral("bench-fill"));
        fillMeet(db);
    }
    QTemporaryDir dir;
};

BigMeet& bigMeet()
{
    static BigMeet meet;
    return meet;
}

HttpRequest request(const QByteArray& target)
{
    HttpRequest r;
    qsizetype used = 0;
    parseHttpRequest("GET " + target + " HTTP/1.1\r\n\r\n", r, used);
    return r;
}

// One answer of the board over the big meet: the JSON feed, a race page,
// the meet page.
void BM_Answer(benchmark::State& state, const char* target)
{
    ResultsBoard board(std::make_unique<MeetReader>(DatabaseSettings(), bigMeet().dir.path()));
    const HttpRequest r = request(target);
    for (auto _ : state)
        benchmark::DoNotOptimize(board.answer(r).body.size());
}
BENCHMARK_CAPTURE(BM_Answer, ApiRaces, "/api/races")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Answer, RacePage, "/race/1250")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Answer, MeetPage, "/")->Unit(benchmark::kMillisecond);

// What a commit costs the board: the whole meet read again.
void BM_ReadMeetAfterACommit(benchmark::State& state)
{
    for (auto _ : state) {
        MeetReader reader(DatabaseSettings(), bigMeet().dir.path());
        Meet meet;
        benchmark::DoNotOptimize(reader.refresh(meet));
        state.counters["places"] = double(meet.races.size() * perRace);
    }
}
BENCHMARK(BM_ReadMeetAfterACommit)->Unit(benchmark::kMillisecond);

qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toLongLong() + fields.value(12).toLongLong(); // utime + stime
}

// The program itself, followed by 200 pages waiting for the meet to change
// (as open browsers do) while nothing is stored: its share of one core.
void BM_FollowersOnAQuietMeet(benchmark::State& state)
{
    const int followers = int(state.range(0));
    QProcess board;
    board.start(QStringLiteral(RESULTS_BOARD_PATH), {QStringLiteral("--data"), bigMeet().dir.path(),
                                                     QStringLiteral("--listen"), QStringLiteral("127.0.0.1"),
                                                     QStringLiteral("--port"), QStringLiteral("0")});
    QByteArray out;
    QRegularExpressionMatch port;
    while (!port.hasMatch() && board.waitForReadyRead(15000)) {
        out += board.readAllStandardOutput();
        port = QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/")).match(QString::fromUtf8(out));
    }
    if (!port.hasMatch()) {
        state.SkipWithError("vexo-results did not start");
        return;
    }
    QList<QTcpSocket*> sockets;
    qint64 answers = 0;
    for (int i = 0; i < followers; ++i) {
        auto* s = new QTcpSocket;
        QObject::connect(s, &QTcpSocket::connected, s, [s] {
            s->write("GET /api/changes?since=0 HTTP/1.1\r\nHost: board\r\n\r\n");
        });
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, &answers] {
            if (s->readAll().contains("generation")) {
                ++answers;
                s->write("GET /api/changes?since=0 HTTP/1.1\r\nHost: board\r\n\r\n");
            }
        });
        s->connectToHost(QStringLiteral("127.0.0.1"), quint16(port.captured(1).toUInt()));
        sockets << s;
    }
    auto runFor = [](int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    };
    runFor(1000); // all connected and waiting
    const long hz = ::sysconf(_SC_CLK_TCK);
    for (auto _ : state) {
        const qint64 before = cpuTicks(board.processId());
        QElapsedTimer wall;
        wall.start();
        runFor(benchMilliseconds(int(state.range(1))));
        const double seconds = wall.elapsed() / 1000.0;
        state.SetIterationTime(seconds);
        state.counters["server_cpu_percent"] = 100.0 * double(cpuTicks(board.processId()) - before) / hz / seconds;
    }
    state.counters["answers"] = double(answers);
    qDeleteAll(sockets);
    board.terminate();
    board.waitForFinished(15000);
}
BENCHMARK(BM_FollowersOnAQuietMeet)->Args({200, 30000})->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
