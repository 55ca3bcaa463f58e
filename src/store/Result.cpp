#include "store/Result.h"

#include "store/Exception.h"
#include "store/Field.h"
#include "store/Miscl.h"
#include "store/Query.h"

#include <QRegularExpression>

#include <cmath>

using namespace Miscl;

namespace {

// Whole seconds and the digits after the point. The fraction is scaled the
// way the timer unit's hundredths always were (ss + hh x 0.01), so that
// every time in the unit's own form gives the very same value as before.
double decimalSeconds(const QString& whole, const QString& fraction)
{
    double seconds = toFloat(whole.toLatin1());
    if (!fraction.isEmpty())
        seconds += toFloat(fraction.toLatin1()) * std::pow(10.0, -double(fraction.size()));
    return seconds;
}

// The timer unit's own reading of a time: two digits of whole seconds, one
// separator character, and from the 4th character the hundredths.
double unitTime(const QByteArray& text)
{
    double seconds = toIntegerOrDefault(substring(text, 1, 2));
    qsizetype end = 3; // the 4th character, 0-based
    while (end < text.size() && (isDigit(text[end]) || text[end] == '.'))
        ++end;
    if (end > 3)
        seconds += toFloat(text.mid(3, end - 3)) * 0.01;
    return seconds;
}

} // namespace

bool RESULT::parseNext(QByteArray& text, qint32 raceId, bool singleLine)
{
    race_id_pk = raceId;
    athlete_number = 0;
    result_id_pk = 0;
    text = trim(text);

    if (singleLine) {
        place = nextField(text);
        if (place.isEmpty())
            return false;
        value = parseTime(nextField(text));
        lane = nextField(text);
        return true;
    }

    const QByteArray line = nextLine(text);
    if (line.size() < 15)
        return false;
    if (position("C.T.K.", line) != 0) {
        // A time the unit's clock took with no place or lane to it.
        place.clear();
        lane = "CTK";
        value = parseTime(line);
    } else {
        place = substring(line, 1, 2);
        lane = substring(line, int(line.size()) - 1, 2);
        QByteArray time = line;
        deleteText(time, 1, 4);
        value = parseTime(trim(time));
    }
    return true;
}

void RESULT::store(Query& query) const
{
    if (athlete_number != 0)
        query.setSQL("insert into result ([race_id_pk],[place],[value],[lane],[athlete_number]) values ("
                     + integerText(race_id_pk) + ",'" + sqlText(place) + "'," + floatText(value) + ",'"
                     + sqlText(lane) + "'," + integerText(athlete_number) + ")");
    else
        query.setSQL("insert into result ([race_id_pk],[place],[value],[lane]) values (" + integerText(race_id_pk)
                     + ",'" + sqlText(place) + "'," + floatText(value) + ",'" + sqlText(lane) + "')");
    query.ExecSQL();
}

bool RESULT::fromDataSet(const FieldSource& row)
{
    result_id_pk = row.FieldByName("result_id_pk").AsInteger();
    race_id_pk = row.FieldByName("race_id_pk").AsInteger();
    athlete_number = row.FieldByName("athlete_number").AsInteger();
    place = row.FieldByName("place").AsString();
    lane = row.FieldByName("lane").AsString();
    value = row.FieldByName("value").AsFloat();
    return true;
}

void RESULT::setPlace(const QByteArray& text)
{
    place = text;
}

void RESULT::setLane(const QByteArray& text)
{
    lane = text;
}

void RESULT::deleteAll(Query& query)
{
    query.setSQL("delete from result");
    query.ExecSQL();
}

double RESULT::parseTime(const QByteArray& text)
{
    // The pieces of a time are read one by one, and a refusal names the
    // piece; a time that runs on (a damaged line) is named whole instead,
    // by its start and length.
    try {
        return readTime(text);
    } catch (const EConvertError&) {
        if (quotedValue(text) == "'" + text + "'")
            throw;
        throw EConvertError(quotedValue(text) + " is not a valid floating point value");
    }
}

double RESULT::readTime(const QByteArray& text)
{
    // The time is read from its leading run of digits, points and colons:
    // 125.30 or 9.87 as seconds, 2:05.30 as minutes and seconds. Anything
    // else keeps the reading the timer unit's ss.hh texts were made for.
    static const QRegularExpression leadingRun(QStringLiteral("^[0-9.:]*"));
    static const QRegularExpression asSeconds(QStringLiteral("^(\\d+)(?:\\.(\\d+))?$"));
    static const QRegularExpression asMinutes(QStringLiteral("^(\\d+):(\\d\\d)(?:\\.(\\d+))?$"));

    const QString run = leadingRun.match(QString::fromLatin1(text)).captured();
    double seconds = 0;
    if (const auto m = asSeconds.match(run); m.hasMatch())
        seconds = decimalSeconds(m.captured(1), m.captured(2));
    else if (const auto m = asMinutes.match(run); m.hasMatch())
        seconds = toFloat(m.captured(1).toLatin1()) * 60 + decimalSeconds(m.captured(2), m.captured(3));
    else
        seconds = unitTime(text);
    return seconds == 0 ? noTime : seconds;
}
