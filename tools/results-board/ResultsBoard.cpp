#include "results-board/ResultsBoard.h"

#include "results-board/BoardJson.h"
#include "results-board/BoardPages.h"
#include "results-board/QrCode.h"

#include <QFile>
#include <QTimer>

namespace {

HttpResponse found(const QByteArray& body, const QByteArray& type = "text/html; charset=utf-8")
{
    HttpResponse r;
    r.contentType = type;
    r.body = body;
    return r;
}

HttpResponse asset(const char* name, const QByteArray& type)
{
    QFile file(QStringLiteral(":/board/") + QLatin1String(name));
    file.open(QIODevice::ReadOnly);
    HttpResponse r = found(file.readAll(), type);
    r.cacheable = true;
    return r;
}

// The key of /race/<key> and /api/races/<key>; -1 for anything but digits.
int keyAfter(const QByteArray& path, const QByteArray& prefix)
{
    const QByteArray digits = path.mid(prefix.size());
    if (digits.isEmpty() || digits.size() > 9)
        return -1;
    for (const char c : digits)
        if (c < '0' || c > '9')
            return -1;
    return digits.toInt();
}

} // namespace

ResultsBoard::ResultsBoard(std::unique_ptr<MeetReader> reader, QObject* parent)
    : QObject(parent)
    , m_reader(std::move(reader))
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    m_reader->refresh(m_meet);
}

void ResultsBoard::start()
{
    auto* timer = new QTimer(this);
    timer->setInterval(tickMs);
    connect(timer, &QTimer::timeout, this, &ResultsBoard::tick);
    timer->start();
}

void ResultsBoard::tick()
{
    const bool changed = m_reader->refresh(m_meet);
    if (changed)
        ++m_generation;
    const HttpResponse answer = changes();
    QList<Waiter> still;
    for (Waiter& w : m_waiting) {
        if (!w.connection)
            continue;
        if (changed || --w.ticksLeft <= 0)
            w.connection->respond(answer);
        else
            still << w;
    }
    m_waiting = still;
}

HttpResponse ResultsBoard::changes() const
{
    return found("{\"generation\":" + QByteArray::number(m_generation) + "}", "application/json");
}

void ResultsBoard::handle(HttpConnection* connection, const HttpRequest& request)
{
    if ((request.method == "GET" || request.method == "HEAD") && request.path == "/api/changes") {
        bool ok = false;
        const quint64 since = request.query.queryItemValue(QStringLiteral("since")).toULongLong(&ok);
        if (ok && since == m_generation) {
            m_waiting << Waiter{connection, waitTicks};
            return;
        }
        connection->respond(changes());
        return;
    }
    connection->respond(answer(request));
}

HttpResponse ResultsBoard::answer(const HttpRequest& request) const
{
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse refused = HttpResponse::text(405, "The results board only shows results.");
        refused.allow = "GET, HEAD";
        return refused;
    }
    BoardPages::View view;
    view.generation = m_generation;
    view.mainOnly = request.query.queryItemValue(QStringLiteral("part")) == QLatin1String("main");
    view.now = m_clock();
    const QByteArray& path = request.path;

    QByteArray body;
    if (path == "/") {
        BoardPages::MeetFilter filter;
        filter.event = request.query.queryItemValue(QStringLiteral("event"), QUrl::FullyDecoded);
        filter.group = request.query.queryItemValue(QStringLiteral("group"), QUrl::FullyDecoded);
        return found(BoardPages::meet(m_meet, filter, view));
    }
    if (path.startsWith("/race/"))
        body = BoardPages::race(m_meet, keyAfter(path, "/race/"), view);
    else if (path == "/announcer")
        return found(BoardPages::announcer(m_meet, view));
    else if (path == "/print")
        return found(BoardPages::print(m_meet, view));
    else if (path == "/qr")
        return found(BoardPages::qr(m_address, view));
    else if (path == "/qr.svg")
        return found(QrCode::encode(m_address).svg(), "image/svg+xml");
    else if (path == "/board.css")
        return asset("board.css", "text/css; charset=utf-8");
    else if (path == "/board.js")
        return asset("board.js", "text/javascript; charset=utf-8");
    else if (path == "/api/races")
        return found(BoardJson::races(m_meet), "application/json");
    else if (path.startsWith("/api/races/")) {
        body = BoardJson::race(m_meet, keyAfter(path, "/api/races/"));
        if (body.isNull())
            return HttpResponse::text(404, "There is no race of that key.");
        return found(body, "application/json");
    }
    if (body.isNull()) {
        HttpResponse missing = found(BoardPages::notFound(view));
        missing.status = 404;
        return missing;
    }
    return found(body);
}
