#pragma once

#include <QByteArray>
#include <QString>

class Query;

// What an export wrote: its result lines, the races they belong to, and
// how many of those races are not marked completed.
struct ResultsWritten {
    qint64 results = 0;
    qint64 races = 0;
    qint64 racesNotCompleted = 0;
};

// The results file for the meet's results system: the line "Results", then
// one line per result that has an athlete number: date (yyyy-mm-dd),
// athlete number, event, value. Every line ends with CR LF; the value has a
// point as decimal separator whatever the regional settings, since a comma
// would split it into two fields. An event holding a comma, a double quote,
// CR or LF is written between double quotes with its quotes doubled
// (RFC 4180); every other field is written as it stands.
namespace ResultsExport {

// The statement of the export, in the system's SQL.
extern const char* const statement;

// The whole file's contents, read through the query, and what they hold
// into `written` when given. Throws Exception when the query fails or a
// column is missing.
QByteArray text(Query& query, ResultsWritten* written = nullptr);

// The date part of a day count as yyyy-mm-dd (day 0 is 1899-12-30).
QByteArray dateText(double dayCount);

} // namespace ResultsExport

// Writes the results file at path, replacing any file there without asking.
// The file is written in one piece beside the old one and then put in its
// place, so any failure (the query, a folder that does not exist or cannot
// be written) leaves an existing file as it was. Throws Exception with a
// message a person can act on. Answers what the file holds.
ResultsWritten ExportResults(Query& query, const QString& path);
