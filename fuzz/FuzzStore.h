#pragma once

#include "store/Database.h"
#include "store/Query.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <cstdio>
#include <cstdlib>
#include <memory>

// What every fuzz target shares: the application object the SQL driver
// plugins need, a finding reported as libFuzzer reports its own, and one
// data store in a temporary folder that each input starts again from.

// Stops the run with what broke; libFuzzer keeps the input as a crash.
[[noreturn]] inline void fuzzFinding(const char* what, const QByteArray& detail = {})
{
    std::fprintf(stderr, "FINDING: %s\n%s\n", what, detail.constData());
    std::abort();
}

inline void fuzzCheck(bool holds, const char* what, const QByteArray& detail = {})
{
    if (!holds)
        fuzzFinding(what, detail);
}

// A temporary folder in memory where there is one: the settings file and
// the database sync to disk on every write, which would set the pace.
inline QString fuzzFolderTemplate()
{
    const QString shm = QStringLiteral("/dev/shm");
    return QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm + QStringLiteral("/vexo-fuzz-XXXXXX")
                                                                 : QDir::tempPath() + QStringLiteral("/vexo-fuzz-XXXXXX");
}

inline void fuzzApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

class FuzzStore {
public:
    FuzzStore()
    {
        fuzzApplication();
        fuzzCheck(m_dir.isValid(), "no temporary folder");
        m_db = std::make_unique<Database>(m_dir.path());
        m_query = std::make_unique<Query>(*m_db);
        // Each input is thrown away: what reaches the disk does not matter,
        // executions per second do.
        exec("PRAGMA synchronous = OFF");
    }

    Database& db() { return *m_db; }
    Query& query() { return *m_query; }
    QString folder() const { return m_dir.path(); }

    void exec(const char* sql)
    {
        QSqlQuery raw(m_db->connection());
        if (!raw.exec(QString::fromUtf8(sql)))
            fuzzFinding("store statement failed", raw.lastQuery().toUtf8());
    }

    QVariant scalar(const QString& sql)
    {
        QSqlQuery raw(m_db->connection());
        if (!raw.exec(sql) || !raw.next())
            fuzzFinding("store query failed", sql.toUtf8());
        return raw.value(0);
    }

    // The engine's own check of the file's structure.
    void checkIntegrity()
    {
        const QString verdict = scalar(QStringLiteral("PRAGMA integrity_check")).toString();
        fuzzCheck(verdict == QStringLiteral("ok"), "integrity_check", verdict.toUtf8());
    }

private:
    QTemporaryDir m_dir{fuzzFolderTemplate()};
    std::unique_ptr<Database> m_db;
    std::unique_ptr<Query> m_query;
};
