#pragma once

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
};

struct FilterCondition {
    QString sql;          // an SQL condition with ? placeholders; empty: no condition
    QVariantList values;  // bound to the placeholders, in order
};

#include "store/Exception.h"

// Throws EFilterError saying what is wrong (an unknown field is named, an
// unterminated text is called so). Field names match without regard to case.
// caseInsensitive makes text comparisons ignore case.
FilterCondition parseFilter(const QString& expression, const QList<FilterField>& fields,
                            bool caseInsensitive);
