#pragma once

#include "store/Schema.h"

#include <QByteArray>
#include <QVariant>

// One field value of a row, read in the forms the record classes use. A null
// number reads 0, a null text "", a null boolean false.
class Field {
public:
    Field() = default;
    Field(const QByteArray& name, const QVariant& value, FieldKind kind)
        : m_name(name)
        , m_value(value)
        , m_kind(kind)
    {
    }

    const QByteArray& name() const { return m_name; }
    FieldKind kind() const { return m_kind; }
    bool IsNull() const { return m_value.isNull(); }
    const QVariant& Value() const { return m_value; }

    QByteArray AsString() const;
    int AsInteger() const;
    double AsFloat() const;
    double AsDateTime() const; // day count since 1899-12-30
    bool AsBoolean() const;

private:
    QByteArray m_name;
    QVariant m_value;
    FieldKind m_kind = FieldKind::Text;
};

// Anything positioned on a row whose fields can be read by name: a query or
// a dataset. The record classes read themselves from one.
class FieldSource {
public:
    virtual ~FieldSource() = default;
    virtual Field FieldByName(const QByteArray& name) const = 0;
};
