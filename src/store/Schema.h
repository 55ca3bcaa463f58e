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

    const ColumnDef* column(const QByteArray& name) const;
    const IndexDef* index(const QByteArray& name) const;
};

namespace Schema {

const QList<TableDef>& tables();
// Throws EDatabaseError naming the table when it is not one of the six.
const TableDef& table(const QByteArray& name);

// Whether a column of that name is a date-time in any table.
bool isDateTimeColumn(const QByteArray& name);

inline bool isNumeric(FieldKind kind)
{
    return kind == FieldKind::Integer || kind == FieldKind::SmallInt || kind == FieldKind::Float
        || kind == FieldKind::Boolean || kind == FieldKind::AutoIncrement;
}

} // namespace Schema
