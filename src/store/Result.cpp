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

// The timer unit's own reading of a time: two characters of whole seconds,
// one separator character, and from the 4th character the hundredths.
// Counted in characters, so a separator outside ASCII is still one.
double unitTime(const QString& text)
{
    double seconds = toIntegerOrDefault(text.left(2).toUtf8());
    qsizetype end = 3; // the 4th character, 0-based
    while (end < text.size() && ((text[end] >= u'0' && text[end] <= u'9') || text[end] == u'.'))
        ++end;
    if (end > 3)
        seconds += toFloat(text.mid(3, end - 3).toLatin1()) * 0.01;
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

    // Fixed columns, counted in the characters the timer unit wrote.
    const QByteArray line = nextLine(text);
    const int length = characterCount(line);
    if (length < 15)
        return false;
    if (position("C.T.K.", line) != 0) {
        // A time the unit's clock took with no place or lane to it.
        place.clear();
        lane = "CTK";
        value = parseTime(line);
    } else {
        place = columns(line, 1, 2);
        lane = columns(line, length - 1, 2);
        value = parseTime(trim(columns(line, 5, length)));
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
    // Only the time itself counts: a multi-line place line carries its lane
    // after a blank.
    qsizetype end = 0;
    while (end < text.size() && static_cast<unsigned char>(text[end]) > 32)
        ++end;
    const QByteArray time = text.left(end);

    // The timer unit's own form, whatever separator its program was set to
    // write: 12.34, 12,34 and 12:34 are all twelve seconds and hundredths.
    static const QRegularExpression unitForm(QStringLiteral("^\\d\\d\\D\\d\\d$"));
    // Seconds with a point or a comma before the fraction, after minutes
    // and hours separated by colons: 9.87, 125,30, 2:05.30, 1:02:03.45.
    static const QRegularExpression clockForm(
        QStringLiteral("^(?:(?:(\\d+):)?(\\d+):(?=\\d\\d(?:[.,]|$)))?(\\d+)(?:[.,](\\d+))?$"));

    const QString characters = QString::fromUtf8(time);
    double seconds = 0;
    if (unitForm.match(characters).hasMatch()) {
        seconds = unitTime(characters);
    } else if (const auto m = clockForm.match(characters); m.hasMatch()) {
        const double hours = m.captured(1).isEmpty() ? 0 : toFloat(m.captured(1).toLatin1());
        const double minutes = m.captured(2).isEmpty() ? 0 : toFloat(m.captured(2).toLatin1());
        seconds = (hours * 60 + minutes) * 60 + decimalSeconds(m.captured(3), m.captured(4));
    } else {
        seconds = unitTime(characters);
    }
    return seconds == 0 ? noTime : seconds;
}
