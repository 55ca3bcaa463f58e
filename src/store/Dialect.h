#pragma once

#include "store/Schema.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

// Everything in which the system's SQL differs from the engine's lives here,
// so that another engine can be added by changing this layer alone. The
// engine now is SQLite:
// - date-times are stored as text "yyyy-mm-dd hh:mm:ss" (sortable, and
//   readable by any SQLite tool) and read back as day counts;
// - the literal #yyyy/mm/dd hh:mm# of the system's statements becomes such a
//   text literal;
// - DISTINCTROW is dropped: a plain select of a join returns each result row
//   once, where DISTINCT would merge two equal lines;
// - names in square brackets stay as they are (SQLite accepts them);
// - a row's identity is an INTEGER PRIMARY KEY AUTOINCREMENT column, which
//   SQLite never hands out again;
// - a text column's width is a CHECK constraint named after the column and
//   its width, so that the engine's message for a longer value says what
//   was refused ("CHECK constraint failed: athletes.gender holds at most 1
//   character").
namespace SqlDialect {

QString driverName();

QString createTable(const TableDef& table);
QString createIndex(const TableDef& table, const IndexDef& index);

// The layout of the tables a file holds: 0 for the first release's (rows
// addressed by the engine's row numbers, widths not enforced), layoutVersion
// for this one.
constexpr int layoutVersion = 1;
QString readLayoutVersion();
QString writeLayoutVersion(int version);
// Statements that rebuild a table of the first layout in this one, keeping
// every row, its order and its row number as the row's identity. Rows with a
// text longer than its column are kept as they are.
QStringList migrateFromFirstLayout(const TableDef& table);
// Switches the refusal of texts longer than their column off while a
// migration copies rows, and on again.
QString enforceWidths(bool on);

// Statements that set the connection up after it opened.
QStringList connectionSetup();

// The system's statement text in the engine's dialect. Quoted texts are
// passed through untouched.
QString translate(const QByteArray& statement);

// A value of the given kind as the engine stores it, and back.
QVariant toStorage(FieldKind kind, const QVariant& value);
QVariant fromStorage(FieldKind kind, const QVariant& stored);

// Day count from a stored date-time; 0 for null or unreadable.
double dayCountFromStorage(const QVariant& stored);
QString dayCountToStorage(double days);

// The table's identity column as written into statements.
QString rowIdentity(const TableDef& table);

// An SQL expression compared without regard to case.
QString caseFolded(const QString& expression);

// A column name as written into the engine's statements.
QString quoteName(const QByteArray& name);

} // namespace SqlDialect
