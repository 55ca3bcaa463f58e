#pragma once

#include <QObject>
#include <QVariant>

class Database;

// Tells a station whether another station has stored anything since it
// last asked: cheap enough to ask every second, so that a window re-reads
// its rows only when there is something new to show. The engine is asked
// for its mark of commits (SqlDialect::commitCounter), one value whatever
// the tables hold, so that every edit is seen, even one that changes no
// count of rows.
class ChangeWatch : public QObject {
public:
    explicit ChangeWatch(Database& database, QObject* parent = nullptr);

    // True when another station stored something since the last call (or
    // since the watch was made). Throws EDatabaseError when the engine
    // cannot be asked.
    bool changedElsewhere();

private:
    QVariant read() const;

    Database& m_database;
    QVariant m_seen;
};
