#include "store/Result.h"

#include "store/Field.h"
#include "store/Miscl.h"
#include "store/Query.h"

using namespace Miscl;

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
    double seconds = toIntegerOrDefault(substring(text, 1, 2));
    qsizetype end = 3; // the 4th character, 0-based
    while (end < text.size() && ((text[end] >= '0' && text[end] <= '9') || text[end] == '.'))
        ++end;
    if (end > 3)
        seconds += toFloat(text.mid(3, end - 3)) * 0.01;
    return seconds == 0 ? noTime : seconds;
}
