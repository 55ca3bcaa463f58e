#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class Database;
class Query;

// Copies of the database taken before the track data import empties it, so
// that a mistaken import can be undone by putting a copy back in place of
// the database file while the program is closed. The copies lie beside the
// database, named after it with the date and time:
// VEXO_ACC-backup-20261209-103500.db (a second copy within the same second
// gets -2, -3, ... before .db). A copy is written as the same name plus
// .part and renamed when whole, so a name without .part is always a whole
// copy; what an interrupted copy left is removed by the next one. On a
// server the copy is a schema of the same name (without .db) holding the
// six tables, made in one transaction.
namespace DatabaseBackup {

constexpr int kept = 5;

// Writes a consistent copy of the database as it was last committed, through
// the query's own connection (the query is closed first), then removes the
// oldest copies so that `keep` remain (an empty file is no copy), and
// besides them the newest copy that holds any race or result, when none of
// those `keep` does.
// Returns the path of the new copy. Throws Exception naming the copy when it
// cannot be written, also inside a transaction; the database is not touched
// either way, and no part of the copy is left.
QString create(Query& query, const QDateTime& at, int keep = kept);

// The copies beside the database (on a server, its copy schemas), oldest
// first.
QStringList existing(const Database& database);

} // namespace DatabaseBackup
