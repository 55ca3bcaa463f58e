#include "store/RaceText.h"

#include "store/Database.h"
#include "store/Query.h"
#include "store/Race.h"
#include "store/Result.h"

qint32 storeRaceText(QByteArray text, Query& query)
{
    RACE race;
    bool singleLine = false;
    race.parse(text, singleLine, query);

    Database& db = query.database();
    db.begin();
    try {
        race.store(query);
        RESULT result;
        while (result.parseNext(text, race.race_id_pk, singleLine))
            result.store(query);
    } catch (...) {
        // What was stored before the failure is kept.
        try {
            db.commit();
        } catch (...) {
            db.rollback();
        }
        throw;
    }
    db.commit();
    return race.race_id_pk;
}
