#pragma once

#include "store/Schema.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

// The engines the alias VEXO_ACC can stand for.
enum class SqlEngine { SQLite, PostgreSQL };

// Everything in which the system's SQL differs from an engine's lives here,
// so that the rest of the store is the same for every engine. What the two
// engines share:
// - names are written between double quotes, the standard form both accept;
//   the system's statements write them in square brackets, which translate
//   turns into double quotes;
// - the literal #yyyy/mm/dd hh:mm# of the system's statements becomes the
//   text 'yyyy-mm-dd hh:mm:00', and date-times are stored as such text
//   (sortable, readable by any tool) and read back as day counts: a
//   wall-clock reading passes through either driver untouched, where a
//   timestamp column would be turned into a local time on the way, and a
//   reading in a daylight-saving gap would move;
// - DISTINCTROW is dropped: a plain select of a join returns each result row
//   once, where DISTINCT would merge two equal lines;
// - a yes/no column holds 0 or 1, as the system's statements write it;
// - a text column's width, where the table refuses longer texts, says in
//   the engine's message what was refused ("athletes.gender holds at most 1
//   character"); the tables the timer unit fills refuse none.
// Where they differ:
// - the widths: PostgreSQL, CHECK constraints named so; SQLite, triggers
//   raising that message, since a file of the first release may keep texts
//   longer than their column, which a CHECK would have integrity_check
//   report as damage;
// - SQLite: a row's identity is an INTEGER PRIMARY KEY AUTOINCREMENT column;
//   PostgreSQL: an identity column drawn from its own sequence. Neither
//   hands a number out again;
// - SQLite: a failed statement inside a transaction leaves the transaction
//   going; PostgreSQL: it aborts the transaction. What is kept of a
//   transaction after a failure is stored in order under savepoints
//   (StoreInOrder.h), the same way on both;
// - SQLite keeps the layout version in the file's header; PostgreSQL in
//   the comment of the races table;
// - index names are global in both: each is its table's name, '_' and the
//   index's name.
namespace SqlDialect {

QString driverName(SqlEngine engine);

QString createTable(SqlEngine engine, const TableDef& table);
QString createIndex(const TableDef& table, const IndexDef& index);
// What a new table gets once its rows are in: its indexes and, on SQLite,
// the triggers that refuse texts longer than their column.
QStringList completeTable(SqlEngine engine, const TableDef& table);

// The layout of the tables a database holds: 0 for the first release's
// (rows addressed by the engine's row numbers, widths not enforced), 1 for
// widths enforced in every table, layoutVersion for this one.
constexpr int layoutVersion = 2;
QString readLayoutVersion(SqlEngine engine);
QString writeLayoutVersion(SqlEngine engine, int version);
// Statements that bring a table of an older layout to this one, keeping
// every row, its order and its identity, and the identities handed out
// before. Rows with a text longer than its column are kept as they are.
// SQLite rebuilds the table; a server (whose databases began at layout 1)
// drops the timer unit's columns' width constraints in place.
QStringList migrate(SqlEngine engine, const TableDef& table, int fromLayout);

// A server's version: one row of its number (130004) and its text (13.4).
QString serverVersion();
// The oldest server the stations can share: the change check reads
// pg_current_snapshot(), which came with PostgreSQL 13.
constexpr int oldestServerVersion = 130000;
// Why a server of that version cannot be used; empty when it can.
QString refusedServer(int versionNumber, const QString& version);

// Statements that set the connection up after it opened. On a server a
// statement waits at most 5 seconds for a lock, unless the connection
// string sets its own lock_timeout.
QStringList connectionSetup(SqlEngine engine, const QString& connection = {});
// A server's connection string with a connect timeout of 5 seconds, unless
// it sets its own: libpq would otherwise wait for ever on a server that
// accepts and never answers.
QString boundedConnection(const QString& connection);

// The system's statement text in the engines' dialect. Quoted texts are
// passed through untouched.
QString translate(const QByteArray& statement);

// A statement whose one value changes whenever another connection commits
// to the same database: cheap enough for every station to ask every second.
QString commitCounter(SqlEngine engine);

// Whether the engine runs several statements sent in one text, one after
// another, stopping at the first that fails (SQLite's driver runs only the
// first).
bool takesSeveralStatements(SqlEngine engine);

// The savepoint of a batch of items stored in order: made before the batch,
// released after it was stored, or rolled back to after an item failed,
// leaving the transaction as it was before the batch.
QString savepoint();
QString releaseSavepoint();
QString undoSavepoint();

// A value of the given kind as the engine stores it, and back.
QVariant toStorage(FieldKind kind, const QVariant& value);
QVariant fromStorage(FieldKind kind, const QVariant& stored);

// Day count from a stored date-time; 0 for null or unreadable.
double dayCountFromStorage(const QVariant& stored);
QString dayCountToStorage(double days);

// The date of a stored date-time, yyyy-mm-dd, appended to out straight from
// the stored text, which begins with it: reading the value as a local
// date-time first costs a time-zone lookup for every row and can move a date
// that falls in a clock change. False, and out unchanged, for a value in any
// other form.
bool appendStoredDate(QByteArray& out, const QVariant& stored);

// The table's identity column as written into statements.
QString rowIdentity(const TableDef& table);

// An SQL expression compared without regard to case.
QString caseFolded(const QString& expression);
// An SQL expression of any kind read as text.
QString asText(const QString& expression);

// A column name as written into the engine's statements.
QString quoteName(const QByteArray& name);

// The statements that make the import's safety copy of the tables as last
// committed: on SQLite the whole database written into the new file
// `target`; on a server the six tables copied into the new schema
// `target`, inside the server.
QStringList copyDatabase(SqlEngine engine, const QString& target);
// On a server: the names of the schemas that begin with `prefix` (one
// column, nspname), and the statement that removes one with its tables.
QString schemasNamed(const QString& prefix);
QString dropSchema(const QString& name);

} // namespace SqlDialect
