#pragma once

#include "results-board/Meet.h"

#include "store/DatabaseSettings.h"

#include <QString>
#include <QVariant>

#include <sys/types.h>

// The board's one connection to the station's database, which it only ever
// reads. SQLite: a read-only connection, so the board never takes the
// station's write lock and, being unable to checkpoint, never removes the
// write-ahead log under a running station. PostgreSQL: a session whose
// every transaction is read-only.
//
// The board asks the engine's mark of commits every tick, as the stations
// do, and reads the meet again only when it moved: a quiet meet costs one
// tiny query a tick. A database that is missing, replaced under it (a copy
// put in place of the file) or unreachable is tried again on the next tick,
// so the board survives the station's restarts and a new meet.
class MeetReader {
public:
    MeetReader(const DatabaseSettings& settings, const QString& folder);
    ~MeetReader();

    MeetReader(const MeetReader&) = delete;
    MeetReader& operator=(const MeetReader&) = delete;

    // Re-reads the meet into `meet` when anything changed since the last
    // call; true when it did. Never throws: a database that cannot be read
    // leaves the reason in meet.problem.
    bool refresh(Meet& meet);

    // The database as messages name it.
    QString description() const;

private:
    bool open(QString& problem);
    void close();
    bool replacedUnderUs() const;
    QVariant commitMark();
    Meet readMeet();

    DatabaseSettings m_settings;
    QString m_filePath;
    QString m_connectionName;
    bool m_open = false;
    QVariant m_seen;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};
