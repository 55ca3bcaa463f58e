#include "store/StoreInOrder.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"
#include "store/Query.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <exception>

namespace {

class Savepoint {
public:
    explicit Savepoint(Database& database)
        : m_database(database)
        , m_statement(database.connection())
    {
    }
    void make() { run(SqlDialect::savepoint()); }
    void release() { run(SqlDialect::releaseSavepoint()); }
    // False when the engine has given up the whole transaction (a full disk
    // can make SQLite do so), so that there is nothing to go back to.
    bool undo()
    {
        if (!m_statement.exec(SqlDialect::undoSavepoint()))
            return false;
        release();
        return true;
    }

private:
    void run(const QString& statement)
    {
        if (!m_statement.exec(statement))
            m_database.raise(m_statement.lastError());
    }

    Database& m_database;
    QSqlQuery m_statement;
};

} // namespace

void storeInOrder(Query& query, qsizetype count, const std::function<void(qsizetype)>& storeItem, Statements statements,
    qsizetype batch)
{
    Savepoint savepoint(query.database());
    batch = std::max<qsizetype>(batch, 1);
    for (qsizetype start = 0; start < count; start += batch) {
        const qsizetype end = std::min(count, start + batch);
        savepoint.make();
        qsizetype item = start;
        try {
            query.gatherStatements(statements == Statements::Together);
            for (; item < end; ++item)
                storeItem(item);
            query.sendGathered(); // a failure here is one of the batch's items
            query.gatherStatements(false);
        } catch (const EConnectionLost&) {
            // Nothing to tell apart item by item, and no lock to wait for
            // once more for each: the whole batch waits for the connection.
            query.gatherStatements(false);
            query.discardGathered();
            throw;
        } catch (...) {
            const std::exception_ptr failure = std::current_exception();
            query.gatherStatements(false);
            query.discardGathered();
            if (!savepoint.undo())
                std::rethrow_exception(failure);
            // Each item again under a savepoint of its own, so that the one
            // that fails leaves those before it stored; its own failure, with
            // its own message, goes on.
            for (qsizetype again = start; again <= std::min(item, end - 1); ++again) {
                savepoint.make();
                try {
                    storeItem(again);
                } catch (...) {
                    savepoint.undo();
                    throw;
                }
                savepoint.release();
            }
            std::rethrow_exception(failure);
        }
        savepoint.release();
    }
}
