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
    : Database(DatabaseSettings(), folder, connectionName)
{
}

Database::Database(const DatabaseSettings& settings, const QString& folder, const QString& connectionName)
    : m_settings(settings)
    , m_connectionName(connectionName)
{
    if (settings.engine == SqlEngine::SQLite) {
        m_filePath = QDir(folder).absoluteFilePath(QString::fromLatin1(alias) + QStringLiteral(".db"));
        if (!QFileInfo::exists(m_filePath) && !QFileInfo(folder).isDir())
            throw EDatabaseError(QStringLiteral("Cannot create the database %1: the folder does not exist")
                                     .arg(QDir::toNativeSeparators(m_filePath)));
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(SqlDialect::driverName(settings.engine), m_connectionName);
    try {
        open(db);
        for (const QString& setup : SqlDialect::connectionSetup(settings.engine))
            run(db, setup);
        completeLayout();
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }
}

void Database::open(QSqlDatabase& db)
{
    if (!db.isValid())
        throw EDatabaseError(QStringLiteral("Cannot open the database %1: the engine's driver %2 is not installed")
                                 .arg(description(), SqlDialect::driverName(m_settings.engine)));
    if (m_settings.engine == SqlEngine::PostgreSQL)
        db.setConnectOptions(m_settings.connection); // taken by the driver as the whole connection string
    else
        db.setDatabaseName(m_filePath);
    if (!db.open())
        throw EDatabaseError(QStringLiteral("Cannot open the database %1: %2").arg(description(), db.lastError().text()));
    if (m_settings.engine == SqlEngine::PostgreSQL)
        refuseOldServer(db);
}

void Database::refuseOldServer(QSqlDatabase& db) const
{
    QSqlQuery version(db);
    if (!version.exec(SqlDialect::serverVersion()) || !version.next())
        throw EDatabaseError(QStringLiteral("Cannot open the database %1: %2")
                                 .arg(description(), version.lastError().text()));
    const QString refusal = SqlDialect::refusedServer(version.value(0).toInt(), version.value(1).toString());
    if (!refusal.isEmpty())
        throw EDatabaseError(QStringLiteral("Cannot open the database %1: %2").arg(description(), refusal));
}

QString Database::description() const
{
    if (m_settings.engine == SqlEngine::PostgreSQL)
        return QStringLiteral("on the server \"%1\"").arg(m_settings.connection);
    return QDir::toNativeSeparators(m_filePath);
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
    m_inTransaction = true;
}

void Database::commit()
{
    // A commit that fails (a full disk, an I/O error) must not leave the
    // connection inside the transaction, where every later statement would
    // be rolled back with it.
    QSqlDatabase db = connection();
    m_inTransaction = false;
    if (!db.commit()) {
        const QString message = db.lastError().text();
        db.rollback();
        throw EDatabaseError(message);
    }
}

void Database::rollback()
{
    m_inTransaction = false;
    connection().rollback();
}

int Database::storedLayout()
{
    QSqlDatabase db = connection();
    QSqlQuery version(db);
    if (!version.exec(SqlDialect::readLayoutVersion(m_settings.engine)) || !version.next())
        throw EDatabaseError(version.lastError().text());
    return version.value(0).toInt();
}

void Database::completeLayout()
{
    QSqlDatabase db = connection();
    QStringList present = db.tables();
    // A server names the tables of other schemas (the import's safety
    // copies among them) as schema.table; only the meet's own count.
    present.removeIf([](const QString& name) { return name.contains(QLatin1Char('.')); });
    QList<QByteArray> missing;
    for (const TableDef& table : Schema::tables())
        if (!present.contains(QString::fromUtf8(table.name), Qt::CaseInsensitive))
            missing << table.name;
    if (m_settings.engine == SqlEngine::PostgreSQL && !missing.isEmpty() && !present.isEmpty())
        refuseForeignDatabase(present, missing);
    // A file with none of the six tables is a new file, or one whose first
    // start ended before its tables were committed: either way there is
    // nothing to migrate.
    const int stored = missing.size() < Schema::tables().size() ? storedLayout() : SqlDialect::layoutVersion;
    if (missing.isEmpty() && stored >= SqlDialect::layoutVersion)
        return;

    try {
        // One transaction: a start that ends half way leaves the database
        // as it found it, and the next start does the whole of it again.
        inTransaction([&] {
            for (const TableDef& table : Schema::tables()) {
                if (missing.contains(table.name)) {
                    run(db, SqlDialect::createTable(m_settings.engine, table));
                    for (const QString& statement : SqlDialect::completeTable(m_settings.engine, table))
                        run(db, statement);
                } else {
                    for (const QString& statement : SqlDialect::migrate(m_settings.engine, table, stored))
                        run(db, statement);
                }
            }
            run(db, SqlDialect::writeLayoutVersion(m_settings.engine, SqlDialect::layoutVersion));
        });
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(QStringLiteral("Cannot bring the database %1 to this version's layout; it was left as "
                                            "it was: %2")
                                 .arg(description(), e.message()));
    }
}

void Database::refuseForeignDatabase(const QStringList& present, const QList<QByteArray>& missing) const
{
    // Creating the missing tables beside someone else's would mix a meet
    // into another program's database.
    QStringList names;
    for (const QByteArray& table : missing)
        names << QString::fromUtf8(table);
    throw EDatabaseError(QStringLiteral("The database %1 is not a meet's database: it holds %2 table(s) but not "
                                        "%3. Name the meet's database in the connection of the Database section "
                                        "of the settings, or an empty one to start a new meet.")
                             .arg(description())
                             .arg(present.size())
                             .arg(names.join(QStringLiteral(", "))));
}
