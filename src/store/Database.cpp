#include "store/Database.h"

#include "store/Dialect.h"
#include "store/Exception.h"
#include "store/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

void run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw EDatabaseError(q.lastError().text());
}

} // namespace

Database::Database(const QString& folder, const QString& connectionName)
    : m_connectionName(connectionName)
    , m_filePath(QDir(folder).absoluteFilePath(QString::fromLatin1(alias) + QStringLiteral(".db")))
{
    const bool exists = QFileInfo::exists(m_filePath);
    if (!exists && !QFileInfo(folder).isDir())
        throw EDatabaseError(QStringLiteral("Cannot create the database %1: the folder does not exist")
                                 .arg(QDir::toNativeSeparators(m_filePath)));

    QSqlDatabase db = QSqlDatabase::addDatabase(SqlDialect::driverName(), m_connectionName);
    db.setDatabaseName(m_filePath);
    try {
        if (!db.open())
            throw EDatabaseError(QStringLiteral("Cannot open the database %1: %2")
                                     .arg(QDir::toNativeSeparators(m_filePath), db.lastError().text()));
        for (const QString& setup : SqlDialect::connectionSetup())
            run(db, setup);
        completeLayout();
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void Database::begin()
{
    QSqlDatabase db = connection();
    if (!db.transaction())
        throw EDatabaseError(db.lastError().text());
}

void Database::commit()
{
    // A commit that fails (a full disk, an I/O error) must not leave the
    // connection inside the transaction, where every later statement would
    // be rolled back with it.
    QSqlDatabase db = connection();
    if (!db.commit()) {
        const QString message = db.lastError().text();
        db.rollback();
        throw EDatabaseError(message);
    }
}

void Database::rollback()
{
    connection().rollback();
}

int Database::storedLayout()
{
    QSqlDatabase db = connection();
    QSqlQuery version(db);
    if (!version.exec(SqlDialect::readLayoutVersion()) || !version.next())
        throw EDatabaseError(version.lastError().text());
    return version.value(0).toInt();
}

void Database::completeLayout()
{
    QSqlDatabase db = connection();
    const QStringList present = db.tables();
    QList<QByteArray> missing;
    for (const TableDef& table : Schema::tables())
        if (!present.contains(QString::fromUtf8(table.name), Qt::CaseInsensitive))
            missing << table.name;
    // A file with none of the six tables is a new file, or one whose first
    // start ended before its tables were committed: either way there is
    // nothing to migrate.
    const bool older = missing.size() < Schema::tables().size() && storedLayout() < SqlDialect::layoutVersion;
    if (missing.isEmpty() && !older)
        return;

    // A text stored longer than its column before widths were enforced is
    // kept: losing it would lose the row.
    if (older)
        run(db, SqlDialect::enforceWidths(false));
    try {
        // One transaction: a start that ends half way leaves the file as it
        // found it, and the next start does the whole of it again.
        inTransaction([&] {
            for (const TableDef& table : Schema::tables()) {
                if (missing.contains(table.name)) {
                    run(db, SqlDialect::createTable(table));
                    for (const IndexDef& index : table.indexes)
                        run(db, SqlDialect::createIndex(table, index));
                } else if (older) {
                    for (const QString& statement : SqlDialect::migrateFromFirstLayout(table))
                        run(db, statement);
                }
            }
            run(db, SqlDialect::writeLayoutVersion(SqlDialect::layoutVersion));
        });
    } catch (const EDatabaseError& e) {
        if (older)
            run(db, SqlDialect::enforceWidths(true));
        throw EDatabaseError(QStringLiteral("Cannot bring the database %1 to this version's layout; it was left as "
                                            "it was: %2")
                                 .arg(QDir::toNativeSeparators(m_filePath), e.message()));
    }
    if (older)
        run(db, SqlDialect::enforceWidths(true));
}
