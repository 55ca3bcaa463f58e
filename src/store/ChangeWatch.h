#pragma once

#include <QObject>
#include <QVariantList>

class Database;

// Tells a station whether another station has stored anything in the
// tables since it last asked: cheap enough to ask every second, so that a
// window re-reads its rows only when there is something new to show.
class ChangeWatch : public QObject {
public:
    // How a change is seen. EngineCounter asks the engine for its count of
    // commits by other connections: a single number, whatever the tables
    // hold. TableMarks reads a few counts and sums of races and results
    // that every race stored, deleted or completed and every scan moves,
    // for an engine that keeps no such counter.
    enum class Mark { ForEngine, EngineCounter, TableMarks };

    explicit ChangeWatch(Database& database, Mark mark = Mark::ForEngine, QObject* parent = nullptr);

    // True when another station stored something since the last call (or
    // since the watch was made). Throws EDatabaseError when the engine
    // cannot be asked.
    bool changedElsewhere();

private:
    QVariantList read() const;

    Database& m_database;
    Mark m_mark;
    QVariantList m_seen;
};
