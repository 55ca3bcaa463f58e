#include "store/SqliteRows.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlField>

#include <sqlite3.h>

sqlite3* SqliteRows::handleOf(const QSqlDatabase& connection)
{
    if (!connection.isOpen() || !connection.driver())
        return nullptr;
    const QVariant handle = connection.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

bool SqliteRows::prepare(sqlite3* handle, const QString& statement)
{
    close();
    const QByteArray text = statement.toUtf8();
    const char* tail = nullptr;
    sqlite3_stmt* compiled = nullptr;
    if (sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &compiled, &tail) != SQLITE_OK
        || !compiled) {
        sqlite3_finalize(compiled);
        return false;
    }
    if (!QByteArrayView(tail, text.constData() + text.size() - tail).trimmed().isEmpty()) {
        sqlite3_finalize(compiled);
        return false;
    }
    m_handle = handle;
    m_statement = compiled;
    const int count = sqlite3_column_count(compiled);
    for (int i = 0; i < count; ++i) {
        const char* table = sqlite3_column_table_name(compiled, i);
        m_columns.append(QSqlField(QString::fromUtf8(sqlite3_column_name(compiled, i)), QMetaType(),
                                   table ? QString::fromUtf8(table) : QString()));
    }
    return true;
}

bool SqliteRows::step(QSqlError& error)
{
    if (!m_statement)
        return false;
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE) {
        // The driver's own words for a failed step, and its code.
        error = QSqlError(QStringLiteral("Unable to fetch row"), QString::fromUtf8(sqlite3_errmsg(m_handle)),
                          QSqlError::ConnectionError, QString::number(result));
    }
    close();
    return false;
}

void SqliteRows::close()
{
    if (m_statement)
        sqlite3_finalize(m_statement);
    m_statement = nullptr;
    m_handle = nullptr;
    m_columns.clear();
}

QVariant SqliteRows::value(int column) const
{
    if (!m_statement)
        return {};
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return QVariant(QByteArray(bytes, sqlite3_column_bytes(m_statement, column)));
    }
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(m_statement, column)));
    }
    }
}
