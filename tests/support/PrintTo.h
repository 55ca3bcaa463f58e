#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <ostream>

// 8-bit texts shown as text in failure messages, not as lists of bytes.
inline void PrintTo(const QByteArray& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QVariant& value, std::ostream* out)
{
    if (value.isNull())
        *out << "null";
    else
        *out << value.typeName() << ' ' << value.toString().toStdString();
}
