#include "store/Query.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"

#include <QSqlError>
#include <QSqlRecord>

Query::Query(Database& database)
    : m_database(database)
    , m_query(database.connection())
    , m_savepoint(database.connection())
{
}

void Query::setSQL(const QByteArray& statement)
{
    Close();
    m_sql = statement;
}

void Query::exec(bool forRows)
{
    // One query object for every statement: building a new one for each
    // costs more than the insert it runs.
    m_query.finish();
    m_query.setForwardOnly(true);
    const QString statement = SqlDialect::translate(m_sql);
    // A statement that fails inside a transaction must leave the transaction
    // usable where its caller lets the failure pass (an event already
    // present during an import), and keep what the transaction stored
    // before it. Where the engine would abort the whole transaction, the
    // statement runs inside a savepoint of its own.
    const bool guarded = !forRows && m_database.inTransaction()
                         && SqlDialect::failureAbortsTransaction(m_database.engine());
    if (guarded) {
        if (!m_savepoint.exec(SqlDialect::savepoint()))
            throw EDatabaseError(m_savepoint.lastError().text());
        if (!m_query.exec(statement)) {
            const QString message = m_query.lastError().text();
            m_savepoint.exec(SqlDialect::undoSavepoint());
            m_savepoint.exec(SqlDialect::releaseSavepoint());
            throw EDatabaseError(message);
        }
        if (!m_savepoint.exec(SqlDialect::releaseSavepoint()))
            throw EDatabaseError(m_savepoint.lastError().text());
        return;
    }
    if (!m_query.exec(statement))
        throw EDatabaseError(m_query.lastError().text());
    if (forRows) {
        m_columns = m_query.record();
        m_open = true;
        m_row = 0;
        m_eof = !m_query.next();
    }
}

void Query::ExecSQL()
{
    Close();
    exec(false);
    m_query.finish();
}

void Query::Open()
{
    Close();
    exec(true);
}

void Query::Close()
{
    m_query.finish();
    m_columns.clear();
    m_columnOf.clear();
    m_open = false;
    m_eof = true;
    m_row = -1;
}

void Query::First()
{
    if (!m_open)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (m_row != 0)
        exec(true); // forward-only: going back means running it again
}

void Query::Next()
{
    if (!m_open || m_eof)
        return;
    ++m_row;
    m_eof = !m_query.next();
}

Field Query::FieldByName(const QByteArray& name) const
{
    auto known = m_columnOf.constFind(name);
    if (known == m_columnOf.constEnd()) {
        const int i = m_columns.indexOf(QString::fromUtf8(name));
        if (i < 0)
            throw EDatabaseError(QStringLiteral("The query has no field '%1'").arg(QString::fromUtf8(name)));
        // Date-times are stored as text, so the driver reports them as text;
        // a date-time column is known by its name in the schema.
        known = m_columnOf.insert(name, {i, Schema::isDateTimeColumn(name)});
    }
    const QVariant value = m_eof ? QVariant() : m_query.value(known->index);
    const bool isDateTime = known->dateTime;
    FieldKind kind = isDateTime ? FieldKind::DateTime : FieldKind::Text;
    if (!isDateTime && value.metaType().id() == QMetaType::Double)
        kind = FieldKind::Float;
    return Field(name, value, kind);
}
