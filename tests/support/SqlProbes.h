#pragma once

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

// What a test reads from or sets up in a meet's tables, straight through the
// connection and past the program's own queries, so that what the engine
// holds is seen as it is. A statement that fails fails the test with the
// engine's message.
namespace sqlprobe {

inline QSqlQuery run(const QSqlDatabase& connection, const QString& statement)
{
    QSqlQuery q(connection);
    EXPECT_TRUE(q.exec(statement)) << statement.toStdString() << ": " << q.lastError().text().toStdString();
    return q;
}

// The first column of the first row; null when there is no row.
inline QVariant scalar(const QSqlDatabase& connection, const QString& statement)
{
    QSqlQuery q = run(connection, statement);
    return q.next() ? q.value(0) : QVariant();
}

// Every row, each as its column values.
inline QList<QVariantList> rows(const QSqlDatabase& connection, const QString& statement)
{
    QSqlQuery q = run(connection, statement);
    QList<QVariantList> all;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        all << row;
    }
    return all;
}

// Each row as its values in one line, "null" for none: a row set that a
// failure message shows as it reads.
inline QStringList lines(const QSqlDatabase& connection, const QString& statement)
{
    QStringList out;
    for (const QVariantList& row : rows(connection, statement)) {
        QStringList values;
        for (const QVariant& value : row)
            values << (value.isNull() ? QStringLiteral("null") : value.toString());
        out << values.join(QLatin1Char(' '));
    }
    return out;
}

// The rows of a table, or of "table WHERE ..." / "a JOIN b ON ...".
inline int count(const QSqlDatabase& connection, const QString& from)
{
    return scalar(connection, QStringLiteral("SELECT COUNT(*) FROM ") + from).toInt();
}

// A statement that sets up a case.
inline void exec(const QSqlDatabase& connection, const QString& statement)
{
    QSqlQuery q(connection);
    ASSERT_TRUE(q.exec(statement)) << statement.toStdString() << ": " << q.lastError().text().toStdString();
}

} // namespace sqlprobe
