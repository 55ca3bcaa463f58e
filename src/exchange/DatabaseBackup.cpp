#include "exchange/DatabaseBackup.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"
#include "store/Query.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

// The engine's own statements, one after another; the first that fails
// ends the run with the engine's message.
void run(const Database& database, const QStringList& statements)
{
    QSqlQuery statement(database.connection());
    for (const QString& text : statements)
        if (!statement.exec(text))
            throw EDatabaseError(statement.lastError().text());
}

struct Copy {
    QString path;
    QString stamp;
    int serial = 1;
    // An empty file is no copy (a database with its tables never is); an
    // earlier version could leave one under a copy's name.
    bool empty = false;
};

QString stampOf(const QDateTime& at)
{
    return at.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

// The copies in name order would put "-103500-2" before "-103500"; they
// are ordered by their stamp and serial instead. `names` are file names or
// schema names; `suffix` is what follows the stamp and serial (".db" for a
// file, nothing for a schema).
QList<Copy> orderedCopies(const QStringList& names, const QString& base, const QString& suffix)
{
    const QRegularExpression name(QStringLiteral("^%1-backup-(\\d{8}-\\d{6})(?:-(\\d+))?%2$")
                                      .arg(QRegularExpression::escape(base), QRegularExpression::escape(suffix)));
    QList<Copy> copies;
    for (const QString& candidate : names) {
        const auto m = name.match(candidate);
        if (m.hasMatch())
            copies.push_back({candidate, m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()});
    }
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.serial < b.serial;
    });
    return copies;
}

QList<Copy> copiesBeside(const Database& database)
{
    const QFileInfo db(database.filePath());
    const QString base = db.completeBaseName();
    const QDir folder = db.absoluteDir();
    QList<Copy> copies = orderedCopies(
        folder.entryList({base + QStringLiteral("-backup-*.db")}, QDir::Files, QDir::Name), base, QStringLiteral(".db"));
    for (Copy& copy : copies) {
        copy.path = folder.absoluteFilePath(copy.path);
        copy.empty = QFileInfo(copy.path).size() == 0;
    }
    return copies;
}

QString freshName(const Database& database, const QDateTime& at)
{
    const QFileInfo db(database.filePath());
    const QString stem = db.absoluteDir().absoluteFilePath(db.completeBaseName() + QStringLiteral("-backup-")
                                                           + stampOf(at));
    QString path = stem + QStringLiteral(".db");
    for (int serial = 2; QFileInfo::exists(path); ++serial)
        path = stem + QStringLiteral("-%1.db").arg(serial);
    return path;
}

// A copy is written under this suffix and takes its name only once it is
// whole. The engine writes a copy's pages late, all of them as it finishes
// when the database fits in its cache, so a copy cut short (the program
// killed, the power gone) is an empty or partial file, never to be mistaken
// for a backup.
const QString unfinished = QStringLiteral(".part");

// What interrupted copies left: the unfinished file and the engine's
// journal beside it. They are never whole, so nothing is lost with them.
void removeUnfinished(const Database& database)
{
    const QFileInfo db(database.filePath());
    QDir folder = db.absoluteDir();
    const QString pattern = db.completeBaseName() + QStringLiteral("-backup-*.db") + unfinished;
    for (const QString& file : folder.entryList({pattern, pattern + QStringLiteral("-journal")}, QDir::Files))
        folder.remove(file);
}

// The copy is made through the program's own connection: a second
// connection, or any other opening of the database file in this process,
// puts at risk the file locks by which SQLite shares the file with other
// programs (a descriptor closed drops all of the process's locks on the
// file). The query is closed first, since SQLite copies nothing while a
// statement of the connection is still being read; the copy is the last
// committed state, write-ahead log included, and on the disk when the
// statement returns.
void copyDatabase(Query& query, const QString& target)
{
    const QString partial = target + unfinished;
    try {
        query.Close();
        run(query.database(), SqlDialect::copyDatabase(SqlEngine::SQLite, partial));
    } catch (const Exception& e) {
        QFile::remove(partial); // a partial copy is no copy
        throw Exception(QStringLiteral("Cannot make the backup copy %1 of the database: %2")
                            .arg(QDir::toNativeSeparators(target), e.message()));
    }
    QFile whole(partial);
    if (!whole.rename(target)) {
        const QString reason = whole.errorString();
        QFile::remove(partial);
        throw Exception(QStringLiteral("Cannot make the backup copy %1 of the database: the finished copy could "
                                       "not take its name: %2")
                            .arg(QDir::toNativeSeparators(target), reason));
    }
}

// The server's copies, by their schema names.
QStringList serverCopyNames(const Database& database)
{
    QSqlQuery names(database.connection());
    names.setForwardOnly(true);
    if (!names.exec(SqlDialect::schemasNamed(QString::fromLatin1(Database::alias) + QStringLiteral("-backup-"))))
        throw EDatabaseError(names.lastError().text());
    QStringList copies;
    while (names.next())
        copies << names.value(0).toString();
    return copies;
}

// On a server the copy stays inside it: the six tables copied into a
// schema named like a file copy, VEXO_ACC-backup-20261209-103500, in one
// transaction of its own (or the caller's), so that a copy cut short
// leaves no schema at all.
QString copyInsideServer(Query& query, const QDateTime& at, int keep)
{
    const QString base = QString::fromLatin1(Database::alias);
    Database& database = query.database();
    const QStringList names = serverCopyNames(database);
    const QString stem = base + QStringLiteral("-backup-") + stampOf(at);
    QString target = stem;
    for (int serial = 2; names.contains(target); ++serial)
        target = stem + QStringLiteral("-%1").arg(serial);

    const bool own = !database.inTransaction();
    try {
        if (own)
            database.begin();
        run(database, SqlDialect::copyDatabase(SqlEngine::PostgreSQL, target));
        if (own)
            database.commit();
    } catch (const Exception& e) {
        if (own)
            database.rollback();
        throw Exception(QStringLiteral("Cannot make the backup copy %1 of the database: %2").arg(target, e.message()));
    }

    // As with files, an old copy that will not go is no reason to stop.
    const QList<Copy> copies = orderedCopies(serverCopyNames(database), base, QString());
    for (qsizetype i = 0; i + std::max(keep, 1) < copies.size(); ++i)
        QSqlQuery(database.connection()).exec(SqlDialect::dropSchema(copies[i].path));
    return target;
}

} // namespace

namespace DatabaseBackup {

QString create(Query& query, const QDateTime& at, int keep)
{
    const Database& database = query.database();
    if (database.engine() == SqlEngine::PostgreSQL)
        return copyInsideServer(query, at, keep);
    removeUnfinished(database);
    const QString target = freshName(database, at);
    copyDatabase(query, target);

    // Removing an old copy that will not go is no reason to stop the import:
    // the newest copies are what an official needs. An empty file under a
    // copy's name goes first, so that it never takes a real copy's place.
    QList<Copy> copies = copiesBeside(database);
    for (const Copy& copy : copies)
        if (copy.empty)
            QFile::remove(copy.path);
    copies.removeIf([](const Copy& copy) { return copy.empty; });
    for (qsizetype i = 0; i + std::max(keep, 1) < copies.size(); ++i)
        QFile::remove(copies[i].path);
    return target;
}

QStringList existing(const Database& database)
{
    QStringList paths;
    for (const Copy& copy : copiesBeside(database))
        if (!copy.empty)
            paths << copy.path;
    return paths;
}

} // namespace DatabaseBackup
