#include "store/Query.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"

#include <QSqlError>
#include <QSqlRecord>

#include <utility>

Query::Query(Database& database)
    : m_database(database)
    , m_query(database.connection())
    , m_generation(database.generation())
{
}

void Query::follow()
{
    if (m_generation == m_database.generation())
        return;
    m_rows.close();
    m_prepared.clear();
    m_query = QSqlQuery(m_database.connection());
    m_generation = m_database.generation();
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
    follow();
    m_query.finish();
    m_rows.close();
    m_query.setForwardOnly(true);
    const QString statement = SqlDialect::translate(m_sql);
    if (forRows && m_database.engine() == SqlEngine::SQLite) {
        sqlite3* handle = SqliteRows::handleOf(m_database.connection());
        if (handle && m_rows.prepare(handle, statement)) {
            m_columns = m_rows.columns();
            m_open = true;
            m_row = 0;
            step();
            return;
        }
        // Not compiled: the driver runs it, and says what is wrong.
    }
    if (!m_query.exec(statement))
        m_database.raise(m_query.lastError());
    if (forRows) {
        m_columns = m_query.record();
        m_open = true;
        m_row = 0;
        step();
    }
}

void Query::step()
{
    QSqlError failure;
    if (m_rows.isOpen()) {
        m_eof = !m_rows.step(failure);
    } else {
        m_eof = !m_query.next();
        if (m_eof)
            failure = m_query.lastError();
    }
    // A row that cannot be read ends the walk with the engine's message,
    // not as the last row: an export would otherwise leave results out
    // and report success.
    if (failure.isValid()) {
        Close();
        m_database.raise(failure);
    }
}

bool Query::execPrepared()
{
    if (m_database.engine() != SqlEngine::SQLite || !StatementShape::of(m_sql, m_shape))
        return false;
    follow();
    QSqlQuery* statement = m_prepared.find(m_database.connection(), m_shape.text,
                                           [this] { return SqlDialect::translate(m_shape.text); });
    if (!statement)
        return false;
    for (qsizetype i = 0; i < m_shape.values.size(); ++i)
        statement->bindValue(int(i), m_shape.values[i]);
    const bool ran = statement->exec();
    const QSqlError failure = statement->lastError();
    // Reset at once, so that no read or write of it stays open on the file.
    statement->finish();
    if (!ran)
        m_database.raise(failure);
    return true;
}

void Query::ExecSQL()
{
    Close();
    if (m_gathering) {
        m_gathered += SqlDialect::translate(m_sql) + QLatin1Char(';');
        return;
    }
    if (execPrepared())
        return;
    exec(false);
    m_query.finish();
}

void Query::gatherStatements(bool on)
{
    m_gathering = on && SqlDialect::takesSeveralStatements(m_database.engine());
}

void Query::sendGathered()
{
    if (m_gathered.isEmpty())
        return;
    const QString statements = std::exchange(m_gathered, QString());
    follow();
    m_query.finish();
    // The driver reports the first statement's outcome; the others are
    // walked through, and the walk stops at the first that failed.
    const bool sent = m_query.exec(statements);
    while (sent && m_query.nextResult()) {
    }
    const QSqlError failure = m_query.lastError();
    m_query.finish();
    if (!sent || failure.isValid())
        m_database.raise(failure);
}

void Query::Open()
{
    sendGathered();
    Close();
    exec(true);
}

void Query::Close()
{
    m_query.finish();
    m_rows.close();
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
    step();
}

Field Query::FieldByName(const QByteArray& name) const
{
    return FieldAt(FieldPosition(name));
}

int Query::FieldPosition(const QByteArray& name) const
{
    for (std::size_t i = 0; i < m_columnOf.size(); ++i)
        if (m_columnOf[i].name == name)
            return int(i);
    const int i = m_columns.indexOf(QString::fromUtf8(name));
    if (i < 0)
        throw EDatabaseError(QStringLiteral("The query has no field '%1'").arg(QString::fromUtf8(name)));
    // Date-times are stored as text, so the driver reports them as text;
    // a date-time column is known by its name in the schema.
    m_columnOf.push_back(ColumnOf{name, i, Schema::isDateTimeColumn(name)});
    return int(m_columnOf.size() - 1);
}

Field Query::FieldAt(int position) const
{
    const ColumnOf& column = m_columnOf.at(std::size_t(position));
    const QVariant value = m_eof            ? QVariant()
                           : m_rows.isOpen() ? m_rows.value(column.index)
                                             : m_query.value(column.index);
    FieldKind kind = column.dateTime ? FieldKind::DateTime : FieldKind::Text;
    if (!column.dateTime && value.metaType().id() == QMetaType::Double)
        kind = FieldKind::Float;
    return Field(column.name, value, kind);
}
