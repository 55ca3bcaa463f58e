#pragma once

#include "store/DatabaseSettings.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>

class QSqlError;

// The connection to the engine behind the alias VEXO_ACC.
// SQLite: the file VEXO_ACC.db in a given folder. A missing file is created
// with the six tables and their indexes; a file that lacks some of them (a
// first start that ended before its tables were committed) is completed,
// keeping what is there. A file of the first release's layout is brought to
// this one as it opens.
// PostgreSQL: the database the connection string names, which several
// stations share. An empty database gets the six tables and their indexes;
// one that holds other tables, or only some of the six, is refused, since it
// is not a meet's database, and so is a server older than the stations can
// share. A database of an older layout is brought to this one as it opens.
class Database {
public:
    static constexpr const char* alias = "VEXO_ACC";

    // Throws EDatabaseError with a message a person can act on.
    explicit Database(const QString& folder, const QString& connectionName = QString::fromLatin1(alias));
    Database(const DatabaseSettings& settings, const QString& folder,
             const QString& connectionName = QString::fromLatin1(alias));
    ~Database();

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QSqlDatabase connection() const;
    SqlEngine engine() const { return m_settings.engine; }
    // The SQLite file; empty on a server.
    QString filePath() const { return m_filePath; }
    // The database as messages name it: the file, or the connection string.
    QString description() const;

    // Runs work inside one transaction: committed when it returns, rolled
    // back when it throws (the exception goes on).
    template <typename Work>
    void inTransaction(Work&& work)
    {
        begin();
        try {
            work();
        } catch (...) {
            rollback();
            throw;
        }
        commit();
    }
    // A server's connection can go away (the server restarted, a cable
    // pulled, a laptop asleep); a file's cannot. What failed is told by
    // raise: it throws EConnectionLost, in an official's words, when the
    // failure means the server cannot be reached (the connection is gone, or
    // a lock was held past the lock timeout), and marks the connection lost;
    // otherwise EDatabaseError with the engine's message, after lead.
    [[noreturn]] void raise(const QSqlError& error, const QString& lead = {});
    bool lost() const { return m_lost; }
    // Lost to a lock held past the lock timeout: the connection stands.
    bool lostToLock() const { return m_lost && m_lostToLock; }
    // The official's words for the last loss: "The meet database on
    // finish-pc cannot be reached: connection refused."
    QString lostMessage() const { return m_lostMessage; }
    // Called once each time the connection is found lost.
    void setLostHandler(std::function<void()> handler) { m_lostHandler = std::move(handler); }
    // Makes the connection good again: a probe when it may still stand (a
    // lock timed out), otherwise the same named connection opened anew.
    // Throws EConnectionLost while the server cannot be reached.
    void reconnect();
    // Counts the connections opened: a statement object prepared on an
    // older one prepares itself again before it runs.
    int generation() const { return m_generation; }

    void begin();
    void commit();
    void rollback();
    bool inTransaction() const { return m_inTransaction; }

private:
    void open(QSqlDatabase& db);
    void setUp(QSqlDatabase& db);
    bool connectionGone(const QSqlError& error);
    void markLost(const QString& reason);
    void refuseOldServer(QSqlDatabase& db) const;
    int storedLayout();
    void completeLayout();
    void refuseForeignDatabase(const QStringList& present, const QList<QByteArray>& missing) const;

    DatabaseSettings m_settings;
    QString m_connectionName;
    QString m_filePath;
    bool m_inTransaction = false;
    bool m_lost = false;
    bool m_lostToLock = false;
    QString m_lostMessage;
    std::function<void()> m_lostHandler;
    int m_generation = 1;
};
