#pragma once

#include <QByteArray>

class Query;

// One athlete of the meet: a row of `athletes`, read from an "A" line of the
// track data file.
class ATHLETE {
public:
    qint32 number = 0;
    QByteArray firstname;
    QByteArray surname;
    QByteArray gender;
    QByteArray team;
    qint32 age = 0;

    // Reads A, number, first name, surname, age, team, gender. Throws
    // Exception "Invalid Athlete CSV string" for another kind letter, or
    // EConvertError for a number or age that is not an integer; the record
    // is unchanged then.
    void parse(QByteArray line);

    // Inserts the athlete; a number already present is refused by the
    // engine (EDatabaseError).
    void store(Query& query) const;

    static void deleteAll(Query& query);
};
