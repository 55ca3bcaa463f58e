#pragma once

#include <QByteArray>

class FieldSource;
class Query;

// One timed place of a race: a row of `result`. Read one by one from what
// RACE::parse leaves of a race text, filled by hand for a result added in
// the race details window, or read back from a row.
class RESULT {
public:
    static constexpr double noTime = 99999;

    qint32 result_id_pk = 0; // 0 until the engine assigns it on insert
    qint32 race_id_pk = 0;
    QByteArray place;
    double value = noTime; // seconds
    QByteArray lane;       // lane text, or "CTK"
    qint32 athlete_number = 0; // 0 for none

    // Takes the next result off the rest of a race text: a place, time and
    // lane triple of a single-line race, or one fixed-column line of a
    // multi-line race. False when no result is left. Throws EConvertError
    // for a time that is not a number.
    bool parseNext(QByteArray& text, qint32 raceId, bool singleLine);

    // Inserts the result; athlete_number is left null when it is 0, and
    // result_id_pk is never written.
    void store(Query& query) const;

    bool fromDataSet(const FieldSource& row);

    void setPlace(const QByteArray& text);
    void setLane(const QByteArray& text);

    static void deleteAll(Query& query);

    // A time text in seconds, read up to its first blank (a place line
    // carries its lane after the time). Two digits, one separator of any
    // kind and two digits is the timer unit's own form, seconds and
    // hundredths (12.34, 12,34 and 12:34 all give 12.34). Otherwise a point
    // or a comma is the decimal separator and colons separate hours,
    // minutes and seconds (9.87, 125,30, 2:05.30, 1:02:03.45); any other
    // text by the unit's layout: two characters of whole seconds, a
    // separator, the hundredths from the 4th character. noTime when it
    // reads as 0. Throws EConvertError for hundredths that are not a number
    // (two points).
    static double parseTime(const QByteArray& text);

private:
    static double readTime(const QByteArray& text);
};
