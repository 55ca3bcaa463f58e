#pragma once

#include "store/Database.h"

#include <QSqlQuery>
#include <QString>

#include <iterator>

// A meet whose races are all scanned: `results` places in races of ten,
// spread over twelve events and five days, each place with a time, a lane
// and an athlete's number. Written straight into the tables, as the
// export reads them, in one transaction.
inline void fillScannedMeet(Database& db, int results)
{
    static const char* const events[] = {"60M",  "75M",  "100M",  "150M",  "200M", "300M",
                                         "400M", "800M", "1500M", "3000M", "75MH", "80MH"};
    constexpr int perRace = 10;
    db.inTransaction([&] {
        QSqlQuery race(db.connection());
        race.prepare(QStringLiteral("insert into races (race_id_pk, number, datetime, event, completed, age,"
                                    " gender, heat, hf, mode) values (?, ?, ?, ?, 1, 12, 'F', 1, '', 'LANE')"));
        QSqlQuery result(db.connection());
        result.prepare(
            QStringLiteral("insert into result (race_id_pk, place, value, lane, athlete_number) values (?, ?, ?, ?, ?)"));
        for (int r = 0; r < results / perRace; ++r) {
            race.addBindValue(1000 + r);
            race.addBindValue(r % 200);
            race.addBindValue(QStringLiteral("2025-06-%1 %2:%3:00")
                                  .arg(10 + r % 5)
                                  .arg(8 + r % 12, 2, 10, QLatin1Char('0'))
                                  .arg(r % 60, 2, 10, QLatin1Char('0')));
            race.addBindValue(QString::fromLatin1(events[r % std::size(events)]));
            race.exec();
            for (int p = 1; p <= perRace; ++p) {
                result.addBindValue(1000 + r);
                result.addBindValue(QString::number(p));
                result.addBindValue(11.5 + p * 0.37 + (r % 100) / 100.0);
                result.addBindValue(QStringLiteral("B%1").arg(p, 2, 10, QLatin1Char('0')));
                result.addBindValue(1 + (r * perRace + p) % 40000);
                result.exec();
            }
        }
    });
}
