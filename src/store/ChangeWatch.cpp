#include "store/ChangeWatch.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"

#include <QSqlError>
#include <QSqlQuery>

ChangeWatch::ChangeWatch(Database& database, QObject* parent)
    : QObject(parent)
    , m_database(database)
    , m_seen(read())
{
}

bool ChangeWatch::changedElsewhere()
{
    QVariant now = read();
    if (now == m_seen)
        return false;
    m_seen = std::move(now);
    return true;
}

QVariant ChangeWatch::read() const
{
    QSqlQuery q(m_database.connection());
    q.setForwardOnly(true);
    if (!q.exec(SqlDialect::commitCounter(m_database.engine())) || !q.next())
        m_database.raise(q.lastError(), QStringLiteral("Cannot tell whether another station stored anything: "));
    return q.value(0);
}
