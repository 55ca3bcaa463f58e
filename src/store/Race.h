#pragma once

#include <QByteArray>
#include <QDateTime>

#include <functional>

class FieldSource;
class Query;

// One race as the timer unit reports it: a row of `races`. The race text is
// a header followed by the timed places, either one comma-separated line or
// a block of fixed-column lines; parse reads the header and leaves the
// places for RESULT::parseNext.
class RACE {
public:
    using Clock = std::function<QDateTime()>;

    qint32 race_id_pk = 0;
    qint32 number = 0;
    double datetime = 0; // day count since 1899-12-30, local time
    QByteArray event;
    QByteArray mode;
    qint32 age = 0;
    QByteArray gender; // "F", "M" or empty
    QByteArray hf;
    qint32 heat = 0;
    bool completed = false;

    // Reads the header of a race text, stamps it with the clock and draws a
    // new key from it. The text is left holding the results part, and singleLine
    // tells which form it was. The timer unit's event code is mapped through
    // the `event` table. Throws EConvertError for a race number or age that
    // is not a number, EDatabaseError when the lookup fails; then the text,
    // the record and the last key are unchanged. Returns true.
    bool parse(QByteArray& text, bool& singleLine, Query& query);

    // Inserts the race under the first free key from race_id_pk on, one
    // that no race and no stored place holds, even while other stations
    // store races into the same tables, and keeps that key in race_id_pk.
    void store(Query& query);

    // Fills the record from a `races` row; mode, hf and heat stay as they
    // are. Returns true.
    bool fromDataSet(const FieldSource& row);

    static void deleteAll(Query& query);
    static void markCompleted(Query& query, qint32 raceId);

    // The key drawn from a day count: the steps of 8.64 ms within a cycle of
    // ten days.
    static qint32 keyFromDayCount(double days);

    // The key handed out last in this process, 0 at start.
    static qint32 lastRaceId();
    static void setLastRaceId(qint32 key);

    // The clock that stamps races and draws keys; an empty clock restores
    // the computer's local clock.
    static void setClock(Clock clock);
    static QDateTime now();

    // While it lives, races are stamped with the time given: a race text
    // stored after it waited for the database carries the time it arrived.
    // The clock before comes back with its end.
    class ArrivalStamp {
    public:
        explicit ArrivalStamp(const QDateTime& arrived);
        ~ArrivalStamp();
        ArrivalStamp(const ArrivalStamp&) = delete;
        ArrivalStamp& operator=(const ArrivalStamp&) = delete;

    private:
        Clock m_before;
    };

private:
    void readSingleLineHeader(QByteArray& text, Query& query);
    void readMultiLineHeader(QByteArray& text, Query& query);
    static QByteArray mapEvent(Query& query, const QByteArray& code);
};
