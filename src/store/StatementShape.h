#pragma once

#include <QByteArray>
#include <QVariantList>

// A statement of the system's SQL split into its shape and its values: the
// text and number literals replaced by ? and the values listed in their
// order. The inserts of an import differ only by their values, so the
// engine compiles each shape once and runs it with every line's values.
//
// A literal whose value cannot be taken without doubt stays in the shape as
// it is written: an integer beyond 64 bits, a number with an exponent or
// more than 15 significant digits, a text written right after a letter
// (X'0A' is a blob). Names in square brackets and #date# literals stay too,
// for the dialect to translate. A statement the split could change the
// meaning of has no shape: one holding double quotes, a comment, a
// parameter mark of its own (? : @ $), an ORDER BY or GROUP BY (where 1
// names a column, not a value), or an unclosed text.
struct StatementShape {
    QByteArray text;
    QVariantList values;

    // False when the statement has no shape; it then runs as written.
    static bool of(const QByteArray& statement, StatementShape& shape);
};
