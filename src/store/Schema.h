#pragma once

#include <QByteArray>
#include <QList>

// The six tables of the competition data store, their columns and their
// named indexes, as data: the dialect writes the tables from it, the datasets
// take index orders and field kinds from it.

enum class FieldKind { Integer, SmallInt, Float, Text, DateTime, Boolean, AutoIncrement };

struct ColumnDef {
    QByteArray name;
    FieldKind kind;
    int size = 0; // characters of a text column; 0 for other kinds
    bool required = false;
};

struct IndexDef {
    QByteArray name; // the schema's name: "PrimaryKey", "Surname", ...
    QList<QByteArray> columns;
    bool unique = false;
};

struct TableDef {
    QByteArray name;
    QList<ColumnDef> columns;
    QList<IndexDef> indexes;
    // Whether the engine refuses a text longer than its column. The tables
    // the timer unit's race texts fill keep what it sends whole, whatever
    // the width (the race journal is the record, the tables the store): a
    // width there binds only what officials type, in the grids' editors.
    bool refusesLongTexts = true;

    const ColumnDef* column(const QByteArray& name) const;
    const IndexDef* index(const QByteArray& name) const;

    // The column that addresses a row: one the engine assigns on insert and
    // never hands out again, not even after the table was emptied. A table
    // with an auto-increment key uses it; every other table has a hidden
    // column for it, which is not one of its columns above.
    //
    // Not the engine's own row numbers: those start again after a delete of
    // the whole table (the import does that), so a row kept in a window
    // across it would be written over a row that came in later. Nor the
    // tables' unique keys: an athlete's number or an event's name is typed
    // by the officials and can be changed in the grid, may be left empty,
    // comes back with the next import for another row, and the record table
    // has none.
    QByteArray identity() const;
    bool hasHiddenIdentity() const;
};

namespace Schema {

const QList<TableDef>& tables();
// Throws EDatabaseError naming the table when it is not one of the six.
const TableDef& table(const QByteArray& name);

// The name of the hidden identity column of the tables that have one.
inline constexpr const char* hiddenIdentity = "row_id";

// Whether a column of that name is a date-time in any table.
bool isDateTimeColumn(const QByteArray& name);

inline bool isNumeric(FieldKind kind)
{
    return kind == FieldKind::Integer || kind == FieldKind::SmallInt || kind == FieldKind::Float
        || kind == FieldKind::Boolean || kind == FieldKind::AutoIncrement;
}

} // namespace Schema
