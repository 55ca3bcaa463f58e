#include "entry/ScanChecks.h"

namespace ScanChecks {

namespace {

// The placeholder race that officials add by hand is the group U99: any
// age belongs to it.
constexpr qint32 anyAge = 99;

} // namespace

QStringList reasons(qint32 number, const Athlete& athlete, const RaceGroup& race, const QList<QByteArray>& otherPlaces)
{
    QStringList out;
    if (number == 0)
        return out;
    if (!athlete.known) {
        out << QStringLiteral("no athlete of this meet has this number");
    } else {
        // A gender or age the meet does not know cannot be told wrong.
        if (!race.gender.isEmpty() && !athlete.gender.isEmpty()
            && race.gender.compare(athlete.gender, Qt::CaseInsensitive) != 0)
            out << QStringLiteral("the athlete is %1, the race is %2")
                       .arg(QString::fromLatin1(athlete.gender), QString::fromLatin1(race.gender));
        if (race.age > 0 && race.age < anyAge && athlete.age && *athlete.age != race.age)
            out << QStringLiteral("the athlete is %1, the race is U%2").arg(*athlete.age).arg(race.age);
    }
    if (!otherPlaces.isEmpty()) {
        QStringList places;
        for (const QByteArray& place : otherPlaces)
            places << (place.isEmpty() ? QStringLiteral("(no place)") : QString::fromLatin1(place));
        out << QStringLiteral("already holds place %1 of this race").arg(places.join(QStringLiteral(", ")));
    }
    return out;
}

QString warning(qint32 number, const QStringList& reasons)
{
    QStringList lines;
    for (const QString& reason : reasons)
        lines << QStringLiteral("%1: %2").arg(number).arg(reason);
    return lines.join(QLatin1Char('\n'));
}

QString noPlaceLeftText()
{
    return QStringLiteral("The race has no place left: Add New Result adds one");
}

} // namespace ScanChecks
