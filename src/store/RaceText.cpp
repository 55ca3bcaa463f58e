#include "store/RaceText.h"

#include "store/Database.h"
#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Query.h"
#include "store/Race.h"
#include "store/Result.h"
#include "store/StoreInOrder.h"

#include <QList>

#include <algorithm>
#include <exception>
#include <utility>

qint32 storeRaceText(QByteArray text, Query& query)
{
    return storeRace(std::move(text), query).key;
}

namespace {

// A NUL byte is what a line with parity checking makes of a damaged
// character, and no text column can hold one: a race that has one is
// refused whole, saying where it is, before anything is read or stored.
void refuseNulBytes(const QByteArray& text)
{
    const qsizetype at = text.indexOf('\0');
    if (at < 0)
        return;
    const QByteArray before = text.left(at);
    const qsizetype lineStart = std::max(before.lastIndexOf('\n'), before.lastIndexOf('\r')) + 1;
    const QByteArray lineBefore = before.mid(lineStart);
    const qsizetype line = before.count('\n') + before.count('\r') - before.count("\r\n") + 1;
    // Columns count characters, as the Coms page shows the text.
    const qsizetype column = QString::fromUtf8(lineBefore).size() + 1;
    QString where = QStringLiteral("line %1, column %2").arg(line).arg(column);
    if (!text.contains('\n') && !text.contains('\r'))
        where += QStringLiteral(" (field %1)").arg(lineBefore.count(',') + 1);
    throw EConvertError(QStringLiteral("The race text holds a NUL byte (code 0) at %1, a character damaged on "
                                       "the line; the race is refused whole")
                            .arg(where));
}

} // namespace

StoredRace storeRace(QByteArray text, Query& query)
{
    refuseNulBytes(text);
    RACE race;
    bool singleLine = false;
    race.parse(text, singleLine, query);

    // The places are read before anything is stored: a place that cannot be
    // read ends the race there, and the places before it are stored.
    QList<RESULT> places;
    std::exception_ptr unreadable;
    try {
        RESULT result;
        while (result.parseNext(text, 0, singleLine))
            places << result;
    } catch (...) {
        unreadable = std::current_exception();
    }

    // The race row, then its places, in one transaction. What was stored
    // before a failure is kept.
    Database& db = query.database();
    db.begin();
    try {
        storeInOrder(query, 1 + places.size(), [&](qsizetype item) {
            if (item == 0) {
                race.store(query); // draws the race's key
                return;
            }
            RESULT& place = places[item - 1];
            place.race_id_pk = race.race_id_pk;
            place.store(query);
        });
    } catch (...) {
        try {
            db.commit();
        } catch (...) {
            db.rollback();
        }
        throw;
    }
    db.commit();
    if (unreadable)
        std::rethrow_exception(unreadable);
    return {race.race_id_pk, race.number, int(places.size())};
}

namespace RaceLayout {

using Miscl::isDigit;

namespace {

struct Line {
    qsizetype start; // byte offset in the text
    QByteArray text; // without its line end
};

// The lines of text as the race records read them: CR, LF or CR LF end a
// line, and lines of blanks only are no lines.
QList<Line> linesOf(const QByteArray& text)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const QByteArray line = text.mid(start, end - start);
        if (!Miscl::trim(line).isEmpty())
            lines.append({start, line});
        start = end;
        while (start < text.size() && (text[start] == '\r' || text[start] == '\n'))
            ++start;
    }
    return lines;
}

bool endsInNumber(const QByteArray& line)
{
    // The race number: the line's last three characters, blanks aside.
    const QByteArray last = Miscl::trim(Miscl::trim(line).right(3));
    return !last.isEmpty() && std::all_of(last.begin(), last.end(), isDigit);
}

bool beginsMultiLineRace(const Line& first, const Line& second)
{
    const char lead = first.text[0];
    return !isDigit(lead) && static_cast<unsigned char>(lead) > 32 && !isPlaceLine(first.text)
        && !isSingleLineRace(first.text) && endsInNumber(second.text) && !isPlaceLine(second.text);
}

} // namespace

bool isSingleLineRace(const QByteArray& line)
{
    return line.count(',') >= 7;
}

bool isPlaceLine(const QByteArray& line)
{
    if (line.contains("C.T.K."))
        return true;
    const auto placeCharacter = [](char c) { return isDigit(c) || c == ' '; };
    return line.size() >= 15 && placeCharacter(line[0]) && placeCharacter(line[1]) && line[2] == ' '
        && line[3] == ' ';
}

qsizetype nextRaceStart(const QByteArray& text)
{
    const QList<Line> lines = linesOf(text);
    // A single-line race is its first line alone, whatever follows it.
    if (!lines.isEmpty() && isSingleLineRace(lines[0].text))
        return lines.size() > 1 ? lines[1].start : -1;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (isSingleLineRace(lines[i].text))
            return lines[i].start;
        if (i >= 2 && i + 1 < lines.size() && beginsMultiLineRace(lines[i], lines[i + 1]))
            return lines[i].start;
    }
    return -1;
}

} // namespace RaceLayout
