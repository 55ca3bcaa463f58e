#pragma once

#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;
class QSqlDatabase;

// The rows of a SELECT on an SQLite connection, read forward through the
// driver's own connection handle: Qt's driver turns every column of every
// row into a value, where a walk over many rows wants a few of them. The
// values read are the ones the driver gives: a null as a null text, an
// integer as a 64-bit integer, a real as a double, a text as text, a blob
// as bytes. The statement is let go at the end of the rows and at close,
// so that no read stays open on the file.
class SqliteRows {
public:
    SqliteRows() = default;
    ~SqliteRows() { close(); }
    SqliteRows(const SqliteRows&) = delete;
    SqliteRows& operator=(const SqliteRows&) = delete;

    // The driver's handle of an open SQLite connection; null for any other.
    static sqlite3* handleOf(const QSqlDatabase& connection);

    // Compiles the statement; false, with nothing open, when it holds more
    // than one statement or does not compile, for the driver to run it and
    // say what is wrong in its own words.
    bool prepare(sqlite3* handle, const QString& statement);
    // Steps to the next row: true on a row, false at the end. A failure
    // comes back as the driver would report it, in `error`.
    bool step(QSqlError& error);
    void close();

    bool isOpen() const { return m_statement != nullptr; }
    // The columns, named as the driver names them.
    const QSqlRecord& columns() const { return m_columns; }
    QVariant value(int column) const;

private:
    sqlite3* m_handle = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    QSqlRecord m_columns;
};
