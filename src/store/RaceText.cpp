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
    const StoredRace stored = storeRace(std::move(text), query);
    if (stored.failure)
        std::rethrow_exception(stored.failure);
    return stored.key;
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

// A line past the longest a race has is what a link that never sent its
// line end made; it is refused, saying so, before anything is read.
void refuseEndlessLines(const QByteArray& text)
{
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        if (end - start > RaceLayout::longestLine)
            throw EConvertError(QStringLiteral("The race text has a line of %1 characters, longer than any race "
                                               "line can be (%2 KB): a line end was lost on the link, or the port's "
                                               "speed or format is wrong; the text is refused whole")
                                    .arg(end - start)
                                    .arg(RaceLayout::longestLine / 1024));
        start = end + 1;
    }
}

QString messageOf(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const Exception& e) {
        return e.message();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("an unknown error");
    }
}

// The places the rest of a race text holds, by the rules RESULT::parseNext
// reads them by: triples up to the first empty place field, or lines up to
// the first one shorter than 15 characters.
int placesIn(QByteArray rest, bool singleLine)
{
    for (int count = 0;; ++count) {
        rest = Miscl::trim(rest);
        if (singleLine) {
            if (Miscl::nextField(rest).isEmpty())
                return count;
            Miscl::nextField(rest);
            Miscl::nextField(rest);
        } else if (Miscl::nextLine(rest).size() < 15) {
            return count;
        }
    }
}

// Removes a race and its places, giving the places that replace them the
// athletes scanned into the old ones, place by place in the order stored:
// a scan an official confirmed is not lost with the race it went into.
void removeRace(Query& query, qint32 key, QList<RESULT>& places)
{
    const QByteArray k = Miscl::integerText(key);
    query.setSQL("select [athlete_number] from result where [race_id_pk] = " + k + " order by [result_id_pk]");
    query.Open();
    for (qsizetype i = 0; !query.Eof(); query.Next(), ++i) {
        const Field athlete = query.FieldByName("athlete_number");
        if (i < places.size() && !athlete.IsNull())
            places[i].athlete_number = athlete.AsInteger();
    }
    query.Close();
    query.setSQL("delete from result where [race_id_pk] = " + k);
    query.ExecSQL();
    query.setSQL("delete from races where [race_id_pk] = " + k);
    query.ExecSQL();
}

} // namespace

StoredRace storeRace(QByteArray text, Query& query, qint32 replacing)
{
    refuseNulBytes(text);
    refuseEndlessLines(text);
    RACE race;
    bool singleLine = false;
    race.parse(text, singleLine, query);

    StoredRace stored;
    stored.number = race.number;
    stored.placesInText = placesIn(text, singleLine);
    const QString place = singleLine ? QStringLiteral("place") : QStringLiteral("place line");

    // The places are read before anything is stored: a place that cannot be
    // read ends the race there, and the places before it are stored.
    QList<RESULT> places;
    try {
        RESULT result;
        while (result.parseNext(text, 0, singleLine))
            places << result;
    } catch (...) {
        stored.failure = std::current_exception();
        stored.missing = QStringLiteral("%1 %2 could not be read: %3")
                             .arg(place)
                             .arg(places.size() + 1)
                             .arg(messageOf(stored.failure));
    }

    // The race row, then its places, in one transaction. What was stored
    // before a failing place is kept; a race whose own row fails is not
    // stored at all, and a race it was to replace stays as it was.
    Database& db = query.database();
    db.begin();
    qsizetype failedItem = -1;
    bool committed = false;
    try {
        if (replacing != 0) {
            removeRace(query, replacing, places);
            race.race_id_pk = replacing;
        }
        storeInOrder(query, 1 + places.size(), [&](qsizetype item) {
            try {
                if (item == 0) {
                    race.store(query); // draws the race's key
                    return;
                }
                RESULT& result = places[item - 1];
                result.race_id_pk = race.race_id_pk;
                result.store(query);
            } catch (...) {
                failedItem = item;
                throw;
            }
        });
    } catch (const EConnectionLost&) {
        // Not a race stored in part: the whole of it is stored once the
        // connection is back (a lock that timed out leaves the connection
        // standing, and what went in before it is undone).
        db.rollback();
        throw;
    } catch (...) {
        if (failedItem <= 0) {
            db.rollback();
            throw;
        }
        try {
            db.commit();
        } catch (...) {
            db.rollback();
            throw;
        }
        committed = true;
        stored.failure = std::current_exception();
        stored.missing = QStringLiteral("%1 %2 could not be stored: %3")
                             .arg(place)
                             .arg(failedItem)
                             .arg(messageOf(stored.failure));
        places.resize(failedItem - 1);
    }
    if (!committed)
        db.commit();
    stored.key = race.race_id_pk;
    stored.places = int(places.size());
    return stored;
}

QString StoredRace::partMessage() const
{
    return QStringLiteral("race %1 stored with %2 of %3 places; %4")
        .arg(number)
        .arg(places)
        .arg(placesInText)
        .arg(missing);
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
