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
// - names in square brackets stay as they are (SQLite accepts them).
namespace SqlDialect {

QString driverName();

QString createTable(const TableDef& table);
QString createIndex(const TableDef& table, const IndexDef& index);

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

// The engine's name of the row identity that every table has.
QString rowIdentity();

// An SQL expression compared without regard to case.
QString caseFolded(const QString& expression);

// A column name as written into the engine's statements.
QString quoteName(const QByteArray& name);

} // namespace SqlDialect
