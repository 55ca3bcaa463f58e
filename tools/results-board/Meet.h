#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

// What the board shows of a meet, read in one go from the station's
// database and then served from memory until the station stores something
// new: a page costs no query, and a thousand spectators cost the database
// the same as one.

struct BoardPlace {
    QString place;
    double value = 0; // seconds; 99999 for no time
    QString lane;     // or "CTK"
    int athleteNumber = 0; // 0 until scanned
    QString firstname;
    QString surname;
    QString team;          // empty for none
    bool personalBest = false;
    bool record = false;

    bool hasTime() const;
};

struct BoardRace {
    int key = 0; // races.race_id_pk
    int number = 0;
    QString event;
    int age = 0;
    QString gender;
    int heat = 0;
    bool completed = false;
    QDateTime datetime; // the station's wall clock, to the minute
    QList<BoardPlace> places; // fastest first, no time last

    // "U12 F", "U99": the age group and gender as the meet names them.
    QString group() const;
};

struct Meet {
    QList<BoardRace> races; // newest first
    // Why the meet cannot be shown ("no database yet"); empty when it can.
    QString problem;

    const BoardRace* race(int key) const;
    // The newest race that is Completed; null when none is.
    const BoardRace* latestCompleted() const;
};

// The marks of a place, by the colour rule of the race details window: a
// time at or under the record for the athlete's age, gender and the race's
// event is a record; otherwise one at or under the athlete's personal best
// for the event is a personal best. A missing record or best never marks,
// and a place without an athlete has no marks.
void markPlace(BoardPlace& place, double personalBest, double record);
