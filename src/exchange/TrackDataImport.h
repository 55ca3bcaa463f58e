#pragma once

#include "store/Exception.h"

#include <QString>

#include <optional>

class Database;
class Query;

// What one import stored, line kind by line kind. Events count by name,
// once however many lines name them; one already present counts, since the
// table holds it either way.
struct TrackDataCounts {
    int lines = 0; // lines of the file, all kinds
    int athletes = 0;
    int events = 0;
    int records = 0;
    int pbests = 0;
};

// A line of the track data file that could not be read, parsed or stored.
// message() is the text of the error box: "Failed to Save data to
// Database, error on line: ", the line number counted from 0, a line break
// and the reason. stored() tells what the import kept: the lines before
// this one, in place of the meet's reference and race data; none when the
// line was refused before anything changed (a file that cannot be decoded).
class ETrackDataLine : public Exception {
public:
    ETrackDataLine(int line, const QString& reason);

    int line() const { return m_line; }
    QString reason() const { return m_reason; }
    const std::optional<TrackDataCounts>& stored() const { return m_stored; }
    void setStored(const TrackDataCounts& counts) { m_stored = counts; }

private:
    int m_line;
    QString m_reason;
    std::optional<TrackDataCounts> m_stored;
};

// Replaces the meet's reference data with the track data file at path and
// empties the race data: `result`, `races`, `record`, `athletes` and `pb` are
// emptied in that order (`event` keeps its rows), then every line whose
// first character is A, E, R or P is stored through its record class, lines
// of any other kind skipped.
//
// The file is read whole before anything changes, and the database is first
// copied beside itself (DatabaseBackup). The emptying and the lines run in
// one transaction, so a crash or power cut on the way leaves the database as
// it was; it is committed when the last line is stored, or at a line that
// fails, which then raises ETrackDataLine with the lines before it stored
// and counted.
// Any other failure (the file unreadable or one of the database's own files,
// the copy or the emptying failing) raises its Exception with the database
// unchanged.
TrackDataCounts ImportTrackData(Database& database, Query& query, const QString& path);
