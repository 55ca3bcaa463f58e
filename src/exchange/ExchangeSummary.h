#pragma once

#include <QString>

class ETrackDataLine;
struct ResultsWritten;
struct TrackDataCounts;

// The word an official gets after an import or an export, from what was
// actually stored or written, so that the pages need not be opened to
// check. `file` is the file's name as the official chose it.
namespace ExchangeSummary {

// "3 athletes", "1 athlete": the count and its noun in the right number.
QString counted(qint64 count, const char* one, const char* many);

// "Imported 60 athletes, 12 events, 40 records, 60 personal bests from meet.csv"
QString imported(const TrackDataCounts& counts, const QString& file);

// After a line stopped the import: what the lines before it stored, never
// worded as a success; or that nothing changed, when the file was refused
// before the meet was touched.
QString importStopped(const ETrackDataLine& failure, const QString& file);

// "Wrote 18 results of 6 races to results.csv; 2 of them not completed"
QString exported(const ResultsWritten& written, const QString& file);

} // namespace ExchangeSummary
