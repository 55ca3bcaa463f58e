#include "store/Field.h"

#include "store/Dialect.h"
#include "store/Miscl.h"

#include <cmath>

QByteArray Field::AsString() const
{
    if (m_value.isNull())
        return {};
    switch (m_kind) {
    case FieldKind::Float:
        return Miscl::floatText(m_value.toDouble());
    case FieldKind::Boolean:
        return m_value.toBool() ? QByteArray("True") : QByteArray("False");
    case FieldKind::DateTime:
        return SqlDialect::dayCountToStorage(AsDateTime()).toUtf8();
    default:
        if (m_value.metaType().id() == QMetaType::Double)
            return Miscl::floatText(m_value.toDouble());
        return m_value.toString().toUtf8();
    }
}

int Field::AsInteger() const
{
    if (m_value.isNull())
        return 0;
    if (m_value.metaType().id() == QMetaType::Double)
        return int(std::trunc(m_value.toDouble()));
    bool ok = false;
    const qlonglong v = m_value.toLongLong(&ok);
    if (ok)
        return int(v);
    return Miscl::toInteger(m_value.toString().toUtf8());
}

double Field::AsFloat() const
{
    if (m_value.isNull())
        return 0;
    if (m_kind == FieldKind::DateTime)
        return AsDateTime();
    bool ok = false;
    const double v = m_value.toDouble(&ok);
    if (ok)
        return v;
    return Miscl::toFloat(m_value.toString().toUtf8());
}

double Field::AsDateTime() const
{
    if (m_value.isNull())
        return 0;
    if (m_value.metaType().id() == QMetaType::Double)
        return m_value.toDouble();
    return SqlDialect::dayCountFromStorage(m_value);
}

bool Field::AsBoolean() const
{
    if (m_value.isNull())
        return false;
    if (m_value.metaType().id() == QMetaType::QString) {
        const QString t = m_value.toString();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return m_value.toLongLong() != 0;
}
