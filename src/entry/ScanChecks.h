#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What is checked of a number once a scan has stored it. None of it refuses
// the number: late entries and mixed races exist, so the official is told
// and decides. The rules are plain data in, texts out, so they can be read
// and tested without a window.
namespace ScanChecks {

// The race's age group as the timer unit gave it: gender "F", "M" or empty
// for a mixed race; age 0 when the group named none.
struct RaceGroup {
    QByteArray gender;
    qint32 age = 0;
};

// What the meet knows of the number scanned.
struct Athlete {
    bool known = false; // an athlete of the meet carries the number
    QByteArray gender;
    std::optional<qint32> age;
};

// One short reason per check the number fails, in a fixed order: unknown
// number, gender, age, another place of the race. otherPlaces are the place
// texts of the race's other results that hold the same number. Empty when
// the number passes, and always for 0 (no number).
QStringList reasons(qint32 number, const Athlete& athlete, const RaceGroup& race, const QList<QByteArray>& otherPlaces);

// The warning for the reasons: one line each, led by the number
// ("9999: no athlete of this meet has this number").
QString warning(qint32 number, const QStringList& reasons);

// The warning that refuses a scan when every place of the race holds a
// number already.
QString noPlaceLeftText();

} // namespace ScanChecks
