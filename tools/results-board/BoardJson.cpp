#include "results-board/BoardJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace BoardJson {

namespace {

QJsonObject raceObject(const BoardRace& r)
{
    return QJsonObject{
        {QStringLiteral("key"), r.key},
        {QStringLiteral("number"), r.number},
        {QStringLiteral("event"), r.event},
        {QStringLiteral("age"), r.age},
        {QStringLiteral("gender"), r.gender},
        {QStringLiteral("heat"), r.heat},
        {QStringLiteral("completed"), r.completed},
        {QStringLiteral("datetime"), r.datetime.isValid() ? QJsonValue(r.datetime.toString(Qt::ISODate))
                                                          : QJsonValue(QJsonValue::Null)},
    };
}

QJsonValue athlete(const BoardPlace& p)
{
    if (p.athleteNumber < 1)
        return QJsonValue::Null;
    return QJsonObject{
        {QStringLiteral("number"), p.athleteNumber},
        {QStringLiteral("firstname"), p.firstname},
        {QStringLiteral("surname"), p.surname},
        {QStringLiteral("team"), p.team.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(p.team)},
    };
}

} // namespace

QByteArray races(const Meet& meet)
{
    QJsonArray list;
    for (const BoardRace& r : meet.races)
        list.append(raceObject(r));
    QJsonObject top{{QStringLiteral("races"), list}};
    if (!meet.problem.isEmpty())
        top.insert(QStringLiteral("problem"), meet.problem);
    return QJsonDocument(top).toJson(QJsonDocument::Compact);
}

QByteArray race(const Meet& meet, int key)
{
    const BoardRace* r = meet.race(key);
    if (!r)
        return QByteArray();
    QJsonArray places;
    for (const BoardPlace& p : r->places)
        places.append(QJsonObject{
            {QStringLiteral("place"), p.place},
            {QStringLiteral("time"), p.hasTime() ? QJsonValue(p.value) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("lane"), p.lane},
            {QStringLiteral("athlete"), athlete(p)},
            {QStringLiteral("pb"), p.personalBest},
            {QStringLiteral("record"), p.record},
        });
    QJsonObject top = raceObject(*r);
    top.insert(QStringLiteral("places"), places);
    return QJsonDocument(top).toJson(QJsonDocument::Compact);
}

} // namespace BoardJson
