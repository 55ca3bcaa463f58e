#pragma once

#include "store/Exception.h"
#include "store/Schema.h"

#include <QList>
#include <QString>
#include <QVariant>

// Row filters of the datasets, and what users type as a search pattern:
//   a field compared with =, <>, <, >, <=, >= to a number or a quoted text
//   ('' inside quotes is one quote), combined with AND, OR, NOT and
//   parentheses; a quoted text ending in * matches every text that begins
//   with what precedes the *.
// The parser turns an expression into a parameterised SQL condition: what a
// user types never reaches the engine as SQL.

struct FilterField {
    QByteArray name;
    FieldKind kind;
    // How the condition refers to the field in the dataset's statement (a
    // column qualified by its table, a lookup's expression); empty: the
    // field's quoted name. It comes from the program, never from the user.
    QString sql = {};
};

struct FilterCondition {
    QString sql;          // an SQL condition with ? placeholders; empty: no condition
    QVariantList values;  // bound to the placeholders, in order
};

// The fields of a table as a filter sees them.
QList<FilterField> filterFields(const TableDef& table);

// Throws EFilterError saying what is wrong and at which position (an unknown
// field is named, an unterminated text is called so). An empty or blank
// expression gives the empty condition. Field names match without regard to
// case. caseInsensitive makes text comparisons ignore case.
FilterCondition parseFilter(const QString& expression, const QList<FilterField>& fields,
                            bool caseInsensitive);
