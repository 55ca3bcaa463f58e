#include "exchange/ResultsExport.h"

#include "store/DateTime.h"
#include "store/Dialect.h"
#include "store/ErrorReport.h"
#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Query.h"

#include <QDate>
#include <QDir>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

namespace ResultsExport {

// The race's key and its completed mark are read for the word after the
// export, not written to the file.
const char* const statement = "SELECT DISTINCTROW races.datetime, result.athlete_number, races.event, result.value,"
                              " races.race_id_pk, races.completed"
                              " FROM races INNER JOIN result ON races.race_id_pk = result.race_id_pk"
                              " WHERE ((result.athlete_number<>0))";

QByteArray dateText(double dayCount)
{
    return DayCount::toDateTime(dayCount).date().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
}

namespace {

// The date of a stored date-time, appended to out: taken from the stored
// text as it stands where the engine keeps one, else read as a date-time.
void appendDate(QByteArray& out, const Field& field)
{
    if (!SqlDialect::appendStoredDate(out, field.Value()))
        out += dateText(field.AsDateTime());
}

// A field as a reader of comma-separated files takes it back whole: one
// that holds a comma, a double quote or a line break (an event typed as
// "1,500M") goes between double quotes with its quotes doubled; any other
// is written as it stands, so that the files of ordinary meets keep every
// byte.
void appendField(QByteArray& out, const QByteArray& field)
{
    const auto special = [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; };
    if (std::none_of(field.begin(), field.end(), special)) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

QByteArray text(Query& query, ResultsWritten* written)
{
    QByteArray out = "Results\r\n";
    out.reserve(1 << 16);
    query.setSQL(statement);
    query.Open();
    // Each column looked up by its name once, then read by its position:
    // a large export reads six fields of a hundred thousand rows.
    const int raceColumn = query.FieldPosition("race_id_pk");
    const int completedColumn = query.FieldPosition("completed");
    const int dateColumn = query.FieldPosition("datetime");
    const int eventColumn = query.FieldPosition("event");
    const int valueColumn = query.FieldPosition("value");
    const int numberColumn = query.FieldPosition("athlete_number");
    ResultsWritten counts;
    QSet<qint64> races;
    QSet<qint64> notCompleted;
    std::optional<qint64> lastRace;
    for (query.First(); !query.Eof(); query.Next()) {
        // The places of a race mostly come one after another: its key and
        // its mark are counted once for them.
        const qint64 race = query.FieldAt(raceColumn).Value().toLongLong();
        if (race != lastRace) {
            lastRace = race;
            races.insert(race);
            if (!query.FieldAt(completedColumn).AsBoolean())
                notCompleted.insert(race);
        }
        ++counts.results;
        appendDate(out, query.FieldAt(dateColumn));
        const QByteArray event = query.FieldAt(eventColumn).AsString();
        const double value = query.FieldAt(valueColumn).AsFloat();
        const qint32 number = query.FieldAt(numberColumn).AsInteger();
        // The number as decimal digits, as integerText writes it, without
        // a text made for each row.
        char digits[12];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        out += ',';
        out.append(digits, end - digits);
        out += ',';
        appendField(out, event);
        out += ',';
        out += Miscl::floatText(value);
        out += "\r\n";
    }
    query.Close();
    counts.races = races.size();
    counts.racesNotCompleted = notCompleted.size();
    if (written)
        *written = counts;
    return out;
}

} // namespace ResultsExport

namespace {

// A disk with no room for the file says so, and what to do.
Exception notWritten(const QString& shown, const QString& lead, const QString& reason)
{
    if (meansDiskFull(reason))
        return Exception(diskFullMessage(QStringLiteral("The results file %1 was not written").arg(shown), reason));
    return Exception(lead.arg(shown, reason));
}

} // namespace

ResultsWritten ExportResults(Query& query, const QString& path)
{
    ResultsWritten written;
    const QByteArray contents = ResultsExport::text(query, &written);

    const QString shown = QDir::toNativeSeparators(path);
    const QString cannotWrite = QStringLiteral("Cannot write the results file %1: %2");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw notWritten(shown, QStringLiteral("Cannot create the results file %1: %2"), file.errorString());
    // Flushed before the commit: a write that only reached the file's buffer
    // fails at the flush, and a commit after that would put an empty or
    // partial file in place of the old one.
    if (file.write(contents) != contents.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw notWritten(shown, cannotWrite, reason);
    }
    if (!file.commit())
        throw notWritten(shown, cannotWrite, file.errorString());
    return written;
}
