#include "results-board/BoardPages.h"

#include "results-board/BoardText.h"

#include <QSet>
#include <QStringList>
#include <QUrlQuery>

namespace BoardPages {

namespace {

using BoardText::html;

QString status(const BoardRace& race)
{
    return race.completed ? QStringLiteral("Official") : QStringLiteral("Provisional");
}

QString raceTitle(const BoardRace& race)
{
    QString title = QStringLiteral("Race %1 · %2 · %3").arg(race.number).arg(race.event, race.group());
    if (race.heat != 0)
        title += QStringLiteral(" · Heat %1").arg(race.heat);
    return title;
}

QString timeOfDay(const BoardRace& race)
{
    return race.datetime.isValid() ? race.datetime.toString(QStringLiteral("HH:mm")) : QString();
}

QByteArray wrap(const QString& title, const QString& livePath, const QString& body, const View& view,
                const QString& bodyClass = QString())
{
    if (view.mainOnly)
        return body.toUtf8();
    QString page;
    page.reserve(body.size() + 1024);
    page += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                           "<title>%1</title><link rel=\"stylesheet\" href=\"/board.css\">"
                           "<script src=\"/board.js\" defer></script></head>\n")
                .arg(html(title));
    page += QStringLiteral("<body class=\"%1\" data-live=\"%2\" data-generation=\"%3\">")
                .arg(html(bodyClass), html(livePath))
                .arg(view.generation);
    page += QStringLiteral("<nav><a href=\"/\">Meet</a><a href=\"/announcer\">Announcer</a>"
                           "<a href=\"/print\">Print</a><a href=\"/qr\">QR code</a></nav>\n<main id=\"live\">");
    page += body;
    page += QStringLiteral("</main></body></html>\n");
    return page.toUtf8();
}

QString problemNote(const Meet& meet)
{
    if (meet.problem.isEmpty())
        return QString();
    return QStringLiteral("<p class=\"problem\">%1</p>").arg(html(meet.problem));
}

QString placesTable(const BoardRace& race)
{
    QString out = QStringLiteral("<table class=\"places\"><thead><tr><th>Place</th><th>Time</th><th>Lane</th>"
                                 "<th>No.</th><th>Name</th><th>Team</th><th>Mark</th></tr></thead><tbody>");
    for (const BoardPlace& p : race.places) {
        const QString mark = p.record ? QStringLiteral("R") : p.personalBest ? QStringLiteral("PB") : QString();
        const QString rowClass = p.record ? QStringLiteral(" class=\"record\"")
                               : p.personalBest ? QStringLiteral(" class=\"pb\"")
                                                : QString();
        const QString name = (p.firstname + QLatin1Char(' ') + p.surname).trimmed();
        out += QStringLiteral("<tr%1><td>%2</td><td class=\"time\">%3</td><td>%4</td><td>%5</td><td>%6</td>"
                              "<td>%7</td><td class=\"mark\">%8</td></tr>")
                   .arg(rowClass, html(p.place), BoardText::time(p.value), html(p.lane),
                        p.athleteNumber > 0 ? QString::number(p.athleteNumber) : QString(), html(name),
                        html(p.team), mark);
    }
    out += QStringLiteral("</tbody></table>");
    return out;
}

QString legend()
{
    return QStringLiteral("<p class=\"legend\"><span class=\"record\">R</span> record · "
                          "<span class=\"pb\">PB</span> personal best</p>");
}

// One race as a sheet: what the notice board shows of it.
QString sheet(const BoardRace& race, const View& view)
{
    QString out = QStringLiteral("<section class=\"sheet\"><h1>%1</h1><p class=\"status %2\">%3 · %4</p>")
                      .arg(html(raceTitle(race)), race.completed ? QStringLiteral("official")
                                                                 : QStringLiteral("provisional"),
                           status(race), timeOfDay(race));
    out += placesTable(race);
    out += legend();
    out += QStringLiteral("<p class=\"printed\">Printed %1</p></section>")
               .arg(view.now.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    return out;
}

QString options(const QStringList& values, const QString& chosen, const QString& all)
{
    QString out = QStringLiteral("<option value=\"\">%1</option>").arg(all);
    for (const QString& v : values)
        out += QStringLiteral("<option value=\"%1\"%2>%1</option>")
                   .arg(html(v), v == chosen ? QStringLiteral(" selected") : QString());
    return out;
}

} // namespace

QByteArray meet(const Meet& meet, const MeetFilter& filter, const View& view)
{
    QStringList events, groups;
    for (const BoardRace& r : meet.races) {
        if (!events.contains(r.event))
            events << r.event;
        if (!groups.contains(r.group()))
            groups << r.group();
    }
    events.sort();
    groups.sort();

    QString body = problemNote(meet);
    body += QStringLiteral("<h1>Races</h1><form class=\"filters\" method=\"get\" action=\"/\">"
                           "<select name=\"event\" aria-label=\"Event\">%1</select>"
                           "<select name=\"group\" aria-label=\"Age group and gender\">%2</select>"
                           "<button type=\"submit\">Show</button></form>")
                .arg(options(events, filter.event, QStringLiteral("All events")),
                     options(groups, filter.group, QStringLiteral("All age groups")));
    body += QStringLiteral("<table class=\"races\"><thead><tr><th>Race</th><th>Event</th><th>Age group</th>"
                           "<th>Heat</th><th>Time</th><th>Status</th></tr></thead><tbody>");
    for (const BoardRace& r : meet.races) {
        if ((!filter.event.isEmpty() && r.event != filter.event)
            || (!filter.group.isEmpty() && r.group() != filter.group))
            continue;
        const QString link = QStringLiteral("/race/%1").arg(r.key);
        body += QStringLiteral("<tr class=\"%1\"><td><a href=\"%2\">%3</a></td><td><a href=\"%2\">%4</a></td>"
                               "<td>%5</td><td>%6</td><td>%7</td><td>%8</td></tr>")
                    .arg(r.completed ? QStringLiteral("official") : QStringLiteral("provisional"), link)
                    .arg(r.number)
                    .arg(html(r.event), html(r.group()), r.heat != 0 ? QString::number(r.heat) : QString(),
                         timeOfDay(r), status(r));
    }
    body += QStringLiteral("</tbody></table>");

    QUrlQuery query;
    if (!filter.event.isEmpty())
        query.addQueryItem(QStringLiteral("event"), filter.event);
    if (!filter.group.isEmpty())
        query.addQueryItem(QStringLiteral("group"), filter.group);
    const QString live = query.isEmpty() ? QStringLiteral("/")
                                         : QStringLiteral("/?") + query.toString(QUrl::FullyEncoded);
    return wrap(QStringLiteral("Meet results"), live, body, view);
}

QByteArray race(const Meet& meet, int key, const View& view)
{
    const BoardRace* r = meet.race(key);
    if (!r)
        return QByteArray();
    return wrap(raceTitle(*r), QStringLiteral("/race/%1").arg(key), problemNote(meet) + sheet(*r, view), view);
}

QByteArray announcer(const Meet& meet, const View& view)
{
    QString body = problemNote(meet);
    if (const BoardRace* r = meet.latestCompleted())
        body += sheet(*r, view);
    else
        body += QStringLiteral("<p class=\"waiting\">No race is official yet.</p>");
    return wrap(QStringLiteral("Announcer"), QStringLiteral("/announcer"), body, view, QStringLiteral("announcer"));
}

QByteArray print(const Meet& meet, const View& view)
{
    QString body = problemNote(meet);
    // Oldest first: the order in which the sheets go up on the notice board.
    for (auto r = meet.races.crbegin(); r != meet.races.crend(); ++r)
        if (r->completed)
            body += sheet(*r, view);
    if (!meet.latestCompleted())
        body += QStringLiteral("<p class=\"waiting\">No race is official yet.</p>");
    return wrap(QStringLiteral("Race sheets"), QStringLiteral("/print"), body, view);
}

QByteArray qr(const QString& address, const View& view)
{
    const QString body = QStringLiteral("<section class=\"qr\"><h1>Results on your phone</h1>"
                                        "<img src=\"/qr.svg\" alt=\"QR code of %1\"><p>%1</p></section>")
                             .arg(html(address));
    return wrap(QStringLiteral("QR code"), QStringLiteral("/qr"), body, view);
}

QByteArray notFound(const View& view)
{
    return wrap(QStringLiteral("Not found"), QString(),
                QStringLiteral("<h1>Not found</h1><p>There is no such page or race. "
                               "<a href=\"/\">All races</a></p>"),
                view);
}

} // namespace BoardPages
