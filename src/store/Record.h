#pragma once

#include <QByteArray>

class Query;

// One record (best performance) of an age, event and gender: a row of
// `record`, read from an "R" line of the track data file.
class RECORD {
public:
    qint32 type = 0;
    QByteArray event;
    QByteArray gender;
    qint32 age = 0;
    double value = 0; // seconds

    // Reads R, gender, event, age, value, type. Throws Exception "Invalid
    // Record CSV string" for another kind letter, or EConvertError for an
    // age, value or type that does not convert; the record is unchanged then.
    void parse(QByteArray line);

    void store(Query& query) const;

    static void deleteAll(Query& query);
};
