#pragma once

#include "store/ErrorReport.h"

#include <QByteArray>
#include <QString>

#include <stdexcept>

// The base of every failure the system raises on purpose. It carries a
// message a person can act on; windows show it in the standard error box.
// The message is kept whole as text: what() gives it as UTF-8, which ends
// at a NUL that a text read from outside may hold.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    explicit Exception(const QByteArray& message)
        : std::runtime_error(message.toStdString()), m_message(QString::fromUtf8(message))
    {
    }

    QString message() const { return m_message; }

private:
    QString m_message;
};

// A text that does not convert to a number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A failure reported by the database engine, carrying the engine's message.
// A write that the disk did not take leads with what to do about it: the
// engine's words alone ("disk I/O error") tell an official nothing.
class EDatabaseError : public Exception {
public:
    explicit EDatabaseError(const QString& message)
        : Exception(explainDiskFull(QStringLiteral("The database could not store this change"), message))
    {
    }
    explicit EDatabaseError(const QByteArray& message)
        : EDatabaseError(QString::fromUtf8(message))
    {
    }
};

// The meet's database on a server cannot be reached: the connection is gone,
// or another program holds a lock too long. Nothing is wrong with what was
// being stored; it can be stored again once the connection is back.
class EConnectionLost : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

// A filter expression or search pattern that cannot be read.
class EFilterError : public Exception {
public:
    using Exception::Exception;
};
