#include "store/Race.h"

#include "store/Database.h"
#include "store/DateTime.h"
#include "store/Dialect.h"
#include "store/Event.h"
#include "store/Exception.h"
#include "store/Field.h"
#include "store/Miscl.h"
#include "store/Query.h"

#include <QSqlError>
#include <QSqlQuery>

#include <cmath>

using namespace Miscl;

namespace {

qint32 lastKey = 0;

RACE::Clock& raceClock()
{
    static RACE::Clock current;
    return current;
}

// The timer unit writes G for girls and B for boys; anything else, a digit
// of the age among them, leaves the gender open.
QByteArray genderOf(char letter)
{
    if (letter == 'G')
        return "F";
    if (letter == 'B')
        return "M";
    return {};
}

// About a minute of clock steps: a key this far behind the last one comes
// from races arriving in a burst, not from the ten-day cycle starting again.
constexpr qint32 keysInAMinute = 6944;

// How many keys after the clock's one a race may move on before the store
// gives up: far more than stations can store within one clock step.
constexpr int keysToTry = 1000;

// Runs the query's insert and tells how many rows it stored.
int rowsInserted(Query& query)
{
    query.Close();
    QSqlQuery insert(query.database().connection());
    if (!insert.exec(SqlDialect::translate(query.SQL())))
        query.database().raise(insert.lastError());
    return insert.numRowsAffected();
}

} // namespace

bool RACE::parse(QByteArray& text, bool& singleLine, Query& query)
{
    // Read into copies: a header that fails leaves nothing half done.
    QByteArray rest = trim(text);
    RACE read = *this;
    const bool oneLine = !rest.contains('\n') && !rest.contains('\r');
    if (oneLine)
        read.readSingleLineHeader(rest, query);
    else
        read.readMultiLineHeader(rest, query);
    read.completed = false;

    qint32 key = keyFromDayCount(DayCount::fromDateTime(now()));
    if (key == lastKey)
        ++key;
    // Races that come faster than the clock's steps (a timer unit sending
    // its memory again) go on after the last key at once; a key that is
    // still taken (a clock set back, a restart within the same step,
    // another station) is passed over by store.
    if (key < lastKey && lastKey - key < keysInAMinute)
        key = lastKey + 1;
    read.race_id_pk = key;

    lastKey = key;
    *this = read;
    text = rest;
    singleLine = oneLine;
    return true;
}

void RACE::readSingleLineHeader(QByteArray& text, Query& query)
{
    nextField(text); // the timer unit's time of the race
    nextField(text); // and its date: its clock is not trusted, ours is
    datetime = DayCount::fromDateTime(now());
    number = toInteger(nextField(text));
    mode = nextField(text);
    const QByteArray group = nextField(text); // U12G: age 12, girls
    const QByteArray code = nextField(text);
    hf = nextField(text);
    heat = toIntegerOrDefault(nextField(text));

    const int digits = toIntegerOrDefault(substring(group, 2, 2)) != 0 ? 2 : 1;
    age = toInteger(substring(group, 2, digits));
    gender = group.isEmpty() ? QByteArray() : genderOf(group.back());
    event = mapEvent(query, code);
}

void RACE::readMultiLineHeader(QByteArray& text, Query& query)
{
    // Fixed columns, counted in the characters the timer unit wrote.
    const QByteArray line1 = nextLine(text);
    const QByteArray group = columns(line1, 1, 4);
    age = toIntegerOrDefault(columns(group, 2, 2));
    if (age == 0)
        age = toIntegerOrDefault(columns(group, 2, 1));
    const QByteArray letter = columns(group, age >= 10 ? 4 : 3, 1);
    gender = letter.isEmpty() ? QByteArray() : genderOf(letter[0]);

    event = mapEvent(query, trim(columns(line1, 8, 7)));
    if (event == ".......") // the timer unit's "no event"
        event = "xxx";

    hf = trimLeft(columns(line1, 15, 99));
    heat = toIntegerOrDefault(trim(columns(hf, 2, 2)));
    datetime = DayCount::fromDateTime(now());

    const QByteArray line2 = nextLine(text);
    number = toInteger(columns(line2, characterCount(line2) - 2, 3));
    mode = "MULTI";
}

QByteArray RACE::mapEvent(Query& query, const QByteArray& code)
{
    EVENT found;
    const bool mapped = found.lookup(query, code);
    // A lookup left open would keep this station reading the tables as they
    // were then: the race's insert, in the transaction that follows, would
    // be refused once another station has stored anything meanwhile.
    query.Close();
    return mapped ? found.event : code;
}

void RACE::store(Query& query)
{
    // Every station draws keys from its own clock, so two of them can draw
    // the same one. The insert itself tests the key, in one statement: the
    // engine lets one station's insert through and turns the other's into
    // no row, which then moves on to the next key; no station reads a key
    // as free and then finds it taken. A key is also taken while places
    // still carry it: deleting a race leaves its places behind, and a new
    // race under the same key would show and export them as its own.
    const QByteArray when = DayCount::toDateTime(datetime).toString(QStringLiteral("yyyy/MM/dd HH:mm")).toUtf8();
    const QByteArray values = "," + integerText(number) + ",#" + when + "#,'" + sqlText(event) + "',0,"
        + integerText(age) + ",'" + sqlText(gender) + "'," + integerText(heat) + ",'" + sqlText(hf) + "','"
        + sqlText(mode) + "'";
    for (qint32 key = race_id_pk, tried = 0; tried < keysToTry; ++key, ++tried) {
        const QByteArray k = integerText(key);
        query.setSQL("insert into races ([race_id_pk],[number],[datetime],[event],[completed],[age],[gender],"
                     "[heat],[hf],[mode]) select "
                     + k + values + " where not exists (select [race_id_pk] from result where [race_id_pk] = " + k
                     + ") on conflict do nothing");
        if (rowsInserted(query) == 1) {
            if (key != race_id_pk)
                lastKey = key; // the next race of this station starts after it
            race_id_pk = key;
            return;
        }
    }
    throw EDatabaseError(QStringLiteral("No free race key was found from %1 to %2: the race was not stored")
                             .arg(race_id_pk)
                             .arg(qint64(race_id_pk) + keysToTry - 1));
}

bool RACE::fromDataSet(const FieldSource& row)
{
    datetime = row.FieldByName("datetime").AsDateTime();
    number = row.FieldByName("number").AsInteger();
    age = row.FieldByName("age").AsInteger();
    gender = row.FieldByName("gender").AsString();
    event = row.FieldByName("event").AsString();
    completed = row.FieldByName("completed").AsBoolean();
    race_id_pk = row.FieldByName("race_id_pk").AsInteger();
    return true;
}

void RACE::deleteAll(Query& query)
{
    query.setSQL("delete from races");
    query.ExecSQL();
}

void RACE::markCompleted(Query& query, qint32 raceId)
{
    query.setSQL("update races set [completed] = 1 where [race_id_pk] = " + integerText(raceId));
    query.ExecSQL();
}

qint32 RACE::keyFromDayCount(double days)
{
    const double tenths = days * 0.1;
    const double fraction = tenths - std::trunc(tenths);
    return qint32(std::trunc(fraction * 100000000.0));
}

qint32 RACE::lastRaceId()
{
    return lastKey;
}

void RACE::setLastRaceId(qint32 key)
{
    lastKey = key;
}

void RACE::setClock(Clock clock)
{
    raceClock() = std::move(clock);
}

RACE::ArrivalStamp::ArrivalStamp(const QDateTime& arrived)
    : m_before(raceClock())
{
    raceClock() = [arrived] { return arrived; };
}

RACE::ArrivalStamp::~ArrivalStamp()
{
    raceClock() = std::move(m_before);
}

QDateTime RACE::now()
{
    const Clock& current = raceClock();
    return current ? current() : QDateTime::currentDateTime();
}
