#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// The base of every failure the system raises on purpose. It carries a
// message a person can act on; windows show it in the standard error box.
// The message is held as UTF-8, like every 8-bit text of the system.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString())
    {
    }
    explicit Exception(const QByteArray& message)
        : std::runtime_error(message.toStdString())
    {
    }

    QString message() const { return QString::fromUtf8(what()); }
};

// A text that does not convert to a number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A failure reported by the database engine, carrying the engine's message.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A filter expression or search pattern that cannot be read.
class EFilterError : public Exception {
public:
    using Exception::Exception;
};
