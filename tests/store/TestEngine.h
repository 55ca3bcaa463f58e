#pragma once

#include "store/DatabaseSettings.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

// The engine the store's tests run against. By default SQLite, in a file of
// the test's own folder. When VEXO_TEST_POSTGRESQL names the state folder of
// a server that the test command started (scripts/pg-cluster), the same
// tests run against PostgreSQL: each test executable gets a database of its
// own on that server (executables run in parallel), and each test an empty
// one, as a new meet's server database is.
namespace TestEngine {

inline QString stateFolder()
{
    return qEnvironmentVariable("VEXO_TEST_POSTGRESQL");
}

inline bool onServer()
{
    return !stateFolder().isEmpty();
}

inline QString readState(const QString& name)
{
    QFile file(stateFolder() + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}

// The server's own connection string (superuser, no password).
inline QString serverConnection()
{
    return readState(QStringLiteral("conninfo"));
}

// Why the server cannot be used; empty when it can.
inline QString unavailable()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("PostgreSQL: Qt's driver QPSQL is not installed (Debian package libqt6sql6-psql)");
    const QString reason = readState(QStringLiteral("unavailable"));
    if (!reason.isEmpty())
        return QStringLiteral("PostgreSQL: ") + reason;
    if (serverConnection().isEmpty())
        return QStringLiteral("PostgreSQL: no server was started in ") + stateFolder();
    return {};
}

inline const QString adminConnection = QStringLiteral("vexo-test-server");

inline QString databaseName()
{
    return QStringLiteral("vexo_") + QCoreApplication::applicationName().toLower().remove(QLatin1Char('-'));
}

// Closes the test database's side connection when the tests are done.
class ServerEnvironment : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (QSqlDatabase::contains(adminConnection)) {
            QSqlDatabase::database(adminConnection, false).close();
            QSqlDatabase::removeDatabase(adminConnection);
        }
    }
};
inline ::testing::Environment* const serverEnvironment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

inline QString run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    return q.exec(sql) ? QString() : sql + QStringLiteral(": ") + q.lastError().text();
}

// The executable's database, emptied, as settings for a Database; sets
// failure and leaves the settings unusable when the server refuses.
inline DatabaseSettings emptyServerDatabase(QString& failure)
{
    const QString server = serverConnection();
    DatabaseSettings settings{SqlEngine::PostgreSQL, server + QStringLiteral(" dbname=") + databaseName()};
    if (!QSqlDatabase::contains(adminConnection)) {
        {
            QSqlDatabase maintenance = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), adminConnection);
            maintenance.setConnectOptions(server + QStringLiteral(" dbname=postgres"));
            if (!maintenance.open()) {
                failure = maintenance.lastError().text();
                return settings;
            }
            failure = run(maintenance, QStringLiteral("DROP DATABASE IF EXISTS %1").arg(databaseName()));
            if (failure.isEmpty())
                failure = run(maintenance, QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0")
                                               .arg(databaseName()));
            maintenance.close();
        }
        QSqlDatabase::removeDatabase(adminConnection);
        QSqlDatabase own = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), adminConnection);
        own.setConnectOptions(settings.connection + QStringLiteral(" options='-c client_min_messages=warning'"));
        if (failure.isEmpty() && !own.open())
            failure = own.lastError().text();
        if (!failure.isEmpty())
            return settings;
    }
    QSqlDatabase own = QSqlDatabase::database(adminConnection, false);
    failure = run(own, QStringLiteral("DO $$ DECLARE s text; BEGIN FOR s IN SELECT nspname FROM pg_namespace WHERE "
                                      "nspname LIKE 'VEXO_ACC-backup-%' LOOP EXECUTE format('DROP SCHEMA %I CASCADE', "
                                      "s); END LOOP; END $$"));
    if (failure.isEmpty())
        failure = run(own, QStringLiteral("DROP SCHEMA public CASCADE"));
    if (failure.isEmpty())
        failure = run(own, QStringLiteral("CREATE SCHEMA public"));
    return settings;
}

} // namespace TestEngine
