#include "store/Database.h"

#include "store/Dialect.h"
#include "store/Exception.h"
#include "store/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QRegularExpression>

#include <utility>

namespace {

// The server as an official knows it: the host of the connection string.
QString serverName(const QString& connection)
{
    static const QRegularExpression host(QStringLiteral("(?:^|\\s)(?:host|hostaddr)\\s*=\\s*'?([^\\s',]+)"));
    const auto m = host.match(connection);
    return m.hasMatch() ? m.captured(1) : QStringLiteral("this computer");
}

// Why the server cannot be reached, in an official's words; the driver's
// own text where there are none better.
QString reasonFor(const QSqlError& error)
{
    if (error.nativeErrorCode() == QLatin1String("55P03"))
        return QStringLiteral("another program has held a lock on its tables for too long");
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    const QString lower = text.toLower();
    const std::pair<const char*, const char*> known[] = {
        {"connection refused", "connection refused"},
        {"no such file or directory", "the server is not running"}, // its local socket is gone
        {"timeout expired", "the server did not answer within 5 seconds"},
        {"administrator command", "the server was stopped"},
        {"shutting down", "the server is shutting down"},
        {"starting up", "the server is starting up"},
        {"closed the connection", "the server closed the connection"},
        {"no connection to the server", "the connection to the server was lost"},
        {"could not translate host name", "its name is not known on this network"},
        {"no route to host", "there is no route to it on this network"},
        {"network is unreachable", "the network cannot be reached"},
        {"database not open", "the connection to the server was lost"}};
    for (const auto& [words, reason] : known)
        if (lower.contains(QLatin1String(words)))
            return QString::fromLatin1(reason);
    text = text.section(QLatin1Char('\n'), 0, 0).trimmed();
    text.remove(QRegularExpression(QStringLiteral("^(FATAL|ERROR):\\s*")));
    return text.isEmpty() ? QStringLiteral("the connection to the server was lost") : text;
}

// SQLSTATEs that mean the connection is gone or the server is going: class
// 08, and the server's shutdown and start-up; a lock past the lock timeout
// is handled the same way, since storing again later will do.
bool meansUnreachable(const QString& code)
{
    return code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") || code == QLatin1String("57P02")
        || code == QLatin1String("57P03") || code == QLatin1String("55P03");
}

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
        setUp(db);
        completeLayout();
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }
}

void Database::setUp(QSqlDatabase& db)
{
    for (const QString& setup : SqlDialect::connectionSetup(m_settings.engine, m_settings.connection))
        run(db, setup);
}

void Database::open(QSqlDatabase& db)
{
    if (!db.isValid())
        throw EDatabaseError(QStringLiteral("Cannot open the database %1: the engine's driver %2 is not installed")
                                 .arg(description(), SqlDialect::driverName(m_settings.engine)));
    if (m_settings.engine == SqlEngine::PostgreSQL)
        // Taken by the driver as the whole connection string.
        db.setConnectOptions(SqlDialect::boundedConnection(m_settings.connection));
    else
        db.setDatabaseName(m_filePath);
    if (!db.open()) {
        if (m_settings.engine == SqlEngine::PostgreSQL)
            throw EConnectionLost(QStringLiteral("Cannot open the database %1: the meet database on %2 cannot be "
                                                 "reached: %3. (%4)")
                                      .arg(description(), serverName(m_settings.connection),
                                           reasonFor(db.lastError()), db.lastError().text().trimmed()));
        throw EDatabaseError(QStringLiteral("Cannot open the database %1: %2").arg(description(), db.lastError().text()));
    }
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

void Database::raise(const QSqlError& error, const QString& lead)
{
    if (connectionGone(error)) {
        // While it is lost, the reason stays the one the last try to
        // reconnect gave, not the dead connection's every second.
        if (!m_lost) {
            m_lostToLock = error.nativeErrorCode() == QLatin1String("55P03");
            markLost(reasonFor(error));
        }
        throw EConnectionLost(m_lostMessage);
    }
    throw EDatabaseError(lead + error.text());
}

bool Database::connectionGone(const QSqlError& error)
{
    if (m_settings.engine != SqlEngine::PostgreSQL)
        return false;
    const QString code = error.nativeErrorCode();
    if (meansUnreachable(code))
        return true;
    // The server answered with a reason of its own: it is there.
    if (!code.isEmpty())
        return false;
    // The driver's own failures carry no SQLSTATE: a cheap probe tells a
    // connection that is gone from a statement the driver refused.
    QSqlQuery probe(connection());
    if (probe.exec(QStringLiteral("SELECT 1")))
        return false;
    const QString probed = probe.lastError().nativeErrorCode();
    return probed.isEmpty() || meansUnreachable(probed);
}

void Database::markLost(const QString& reason)
{
    m_inTransaction = false;
    m_lostMessage = QStringLiteral("The meet database on %1 cannot be reached: %2. Retrying every 2 seconds.")
                        .arg(serverName(m_settings.connection), reason);
    if (std::exchange(m_lost, true))
        return;
    if (m_lostHandler)
        m_lostHandler();
}

void Database::reconnect()
{
    QSqlDatabase db = connection();
    if (db.isOpen()) {
        // A connection that timed out on a lock still stands: whatever it
        // began is undone, and it is used on.
        QSqlQuery probe(db);
        probe.exec(QStringLiteral("ROLLBACK"));
        if (probe.exec(QStringLiteral("SELECT 1"))) {
            m_lost = false;
            m_inTransaction = false;
            return;
        }
    }
    m_lostToLock = false;
    db.close();
    try {
        open(db);
        setUp(db);
    } catch (const EDatabaseError&) {
        const QSqlError error = db.lastError();
        db.close();
        markLost(reasonFor(error));
        throw EConnectionLost(m_lostMessage);
    }
    ++m_generation;
    m_lost = false;
    m_inTransaction = false;
}

void Database::begin()
{
    QSqlDatabase db = connection();
    if (!db.transaction())
        raise(db.lastError());
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
        const QSqlError error = db.lastError();
        db.rollback();
        raise(error);
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
