#pragma once

#include <QByteArray>

class Query;

// One event name of the meet and the code the timer unit sends for it: a row
// of `event`, read from an "E" line of the track data file. Event rows are
// never removed in bulk.
class EVENT {
public:
    QByteArray event;
    QByteArray tg_event;

    // Reads E, event name; tg_event becomes empty. Throws Exception
    // "Invalid Event CSV string" for another kind letter.
    void parse(QByteArray line);

    // Inserts the event name with a null tg_event. Any failure, above all
    // an event already present, is ignored: the table stays as it was.
    void store(Query& query) const;

    // Finds the first row whose tg_event equals code. True with both members
    // filled from it, or false with the record unchanged; an empty code
    // matches no row. The query is left open on the row.
    bool lookup(Query& query, const QByteArray& code);
};
