#include "store/Schema.h"

#include "store/Exception.h"

const ColumnDef* TableDef::column(const QByteArray& wanted) const
{
    for (const ColumnDef& c : columns)
        if (c.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const IndexDef* TableDef::index(const QByteArray& wanted) const
{
    for (const IndexDef& i : indexes)
        if (i.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &i;
    return nullptr;
}

QByteArray TableDef::identity() const
{
    for (const ColumnDef& c : columns)
        if (c.kind == FieldKind::AutoIncrement)
            return c.name;
    return Schema::hiddenIdentity;
}

bool TableDef::hasHiddenIdentity() const
{
    return identity() == Schema::hiddenIdentity;
}

namespace Schema {

const QList<TableDef>& tables()
{
    using K = FieldKind;
    static const QList<TableDef> all = {
        {"athletes",
         {{"number", K::Integer},
          {"firstname", K::Text, 20},
          {"surname", K::Text, 20},
          {"age", K::SmallInt},
          {"team", K::Text, 20},
          {"gender", K::Text, 1}},
         {{"PrimaryKey", {"number"}, true}, {"Surname", {"surname", "firstname", "number"}}}},
        {"races",
         {{"race_id_pk", K::Integer},
          {"number", K::Integer},
          {"datetime", K::DateTime},
          {"event", K::Text, 10},
          {"completed", K::Boolean, 0, true},
          {"age", K::SmallInt},
          {"gender", K::Text, 1},
          {"heat", K::SmallInt},
          // Unbounded: a multi-line race's header marker holds up to 99
          // characters.
          {"hf", K::Text},
          {"mode", K::Text, 20}},
         {{"PrimaryKey", {"race_id_pk"}, true}, {"number", {"number"}}},
         false},
        {"result",
         {{"result_id_pk", K::AutoIncrement},
          {"race_id_pk", K::Integer},
          {"place", K::Text, 3},
          {"value", K::Float},
          {"lane", K::Text, 3},
          {"athlete_number", K::Integer}},
         {{"PrimaryKey", {"result_id_pk"}, true},
          {"Lane", {"race_id_pk", "lane", "result_id_pk"}},
          {"Reference", {"race_id_pk"}},
          {"Value", {"race_id_pk", "value", "result_id_pk"}}},
         false},
        {"event",
         {{"event", K::Text, 10}, {"tg_event", K::Text, 10}},
         {{"PrimaryKey", {"event"}, true}}},
        {"pb",
         {{"athlete_number", K::Integer}, {"event", K::Text, 10}, {"value", K::Float}},
         {{"PrimaryKey", {"athlete_number", "event"}, true}}},
        {"record",
         {{"gender", K::Text, 1},
          {"event", K::Text, 10},
          {"age", K::Integer},
          {"value", K::Float},
          {"type", K::Integer}},
         {}},
    };
    return all;
}

const TableDef& table(const QByteArray& name)
{
    for (const TableDef& t : tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    throw EDatabaseError(QStringLiteral("The data store has no table '%1'").arg(QString::fromUtf8(name)));
}

bool isDateTimeColumn(const QByteArray& name)
{
    // Asked for every field read from a query: the few names are collected
    // once rather than searched for through every table each time.
    static const QList<QByteArray> dateTimeColumns = [] {
        QList<QByteArray> names;
        for (const TableDef& t : tables())
            for (const ColumnDef& c : t.columns)
                if (c.kind == FieldKind::DateTime && !names.contains(c.name))
                    names << c.name;
        return names;
    }();
    for (const QByteArray& column : dateTimeColumns)
        if (column.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace Schema
