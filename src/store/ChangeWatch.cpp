#include "store/ChangeWatch.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

ChangeWatch::Mark markForEngine(const Database& database)
{
    return SqlDialect::commitCounter(database.engine()).isEmpty() ? ChangeWatch::Mark::TableMarks
                                                                   : ChangeWatch::Mark::EngineCounter;
}

} // namespace

ChangeWatch::ChangeWatch(Database& database, Mark mark, QObject* parent)
    : QObject(parent)
    , m_database(database)
    , m_mark(mark == Mark::ForEngine ? markForEngine(database) : mark)
    , m_seen(read())
{
}

bool ChangeWatch::changedElsewhere()
{
    QVariantList now = read();
    if (now == m_seen)
        return false;
    m_seen = std::move(now);
    return true;
}

QVariantList ChangeWatch::read() const
{
    QSqlQuery q(m_database.connection());
    q.setForwardOnly(true);
    bool done = false;
    if (m_mark == Mark::EngineCounter) {
        done = q.exec(SqlDialect::commitCounter(m_database.engine()));
    } else {
        // Races stored or deleted move the count and the highest key, a race
        // completed the count of completed ones; results added move their
        // count and highest identity, a scan the sum of athlete numbers.
        // Yes/no columns hold 0 or 1 on every engine.
        done = q.exec(QStringLiteral(
            "SELECT (SELECT COUNT(*) FROM races), (SELECT MAX(race_id_pk) FROM races), "
            "(SELECT COUNT(*) FROM races WHERE completed <> 0), (SELECT COUNT(*) FROM result), "
            "(SELECT MAX(result_id_pk) FROM result), (SELECT SUM(athlete_number) FROM result)"));
    }
    if (!done || !q.next())
        throw EDatabaseError(QStringLiteral("Cannot tell whether another station stored anything: %1")
                                 .arg(q.lastError().text()));
    QVariantList values;
    for (int i = 0; i < q.record().count(); ++i)
        values << q.value(i);
    return values;
}
