#pragma once

#include <QByteArray>

class Query;

// One athlete's personal best in one event: a row of `pb`, read from a "P"
// line of the track data file.
class PBEST {
public:
    qint32 athlete_number = 0;
    QByteArray event;
    double value = 0; // seconds

    // Reads P, athlete number, event, value. Throws Exception "Invalid PBest
    // CSV string" for another kind letter, or EConvertError for a number or
    // value that does not convert; the record is unchanged then.
    void parse(QByteArray line);

    // Inserts the personal best; a second one for the same athlete and
    // event is refused by the engine (EDatabaseError).
    void store(Query& query) const;

    static void deleteAll(Query& query);
};
