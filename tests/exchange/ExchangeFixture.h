#pragma once

#include "store/StoreFixture.h"

#include <QFile>
#include <QString>

// A data store holding the data of a meet that an import replaces, and
// files written beside it.
class ExchangeFixture : public StoreFixture {
protected:
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
        return path;
    }

    static QByteArray readFile(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll();
    }

    // A meet in progress: one row in each of the five tables an import
    // empties, and an event the officials have mapped to a timer unit code.
    void fillMeetInProgress()
    {
        exec("insert into athletes (number, firstname, surname, age, team, gender)"
             " values (900, 'Old', 'Meet', 12, 'Gone AC', 'M')");
        exec("insert into races (race_id_pk, number, datetime, event, completed, age, gender, heat, hf, mode)"
             " values (77, 3, '2025-05-01 10:00:00', '100M', 0, 12, 'M', 1, '', 'LANE')");
        exec("insert into result (race_id_pk, place, value, lane, athlete_number) values (77, '1', 12.5, 'B01', 900)");
        exec("insert into record (gender, event, age, value, type) values ('M', '100M', 12, 12.1, 1)");
        exec("insert into pb (athlete_number, event, value) values (900, '100M', 12.9)");
        exec("insert into event (event, tg_event) values ('100M', 'EV03')");
    }

    int raceDataRows()
    {
        return count("result") + count("races") + count("record") + count("athletes") + count("pb");
    }
};
