#pragma once

#include <QSqlDatabase>
#include <QString>

// The connection to the engine behind the alias VEXO_ACC: the SQLite file
// VEXO_ACC.db in a given folder (the executable's folder in the application).
// A missing file is created with the six tables and their indexes; a file
// that lacks some of them (a first start that ended before its tables were
// committed) is completed, keeping what is there. A file of the first
// release's layout is brought to this one as it opens.
class Database {
public:
    static constexpr const char* alias = "VEXO_ACC";

    // Throws EDatabaseError with a message a person can act on.
    explicit Database(const QString& folder, const QString& connectionName = QString::fromLatin1(alias));
    ~Database();

    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QSqlDatabase connection() const;
    QString filePath() const { return m_filePath; }

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
    void begin();
    void commit();
    void rollback();

private:
    int storedLayout();
    void completeLayout();

    QString m_connectionName;
    QString m_filePath;
};
