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
#include <QUrl>

#include <algorithm>
#include <functional>

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

// The name of a new copy, `suffix` after it: the stamp of `at`, and within
// the same second a serial past that of every copy of the second. A serial
// freed by a removed copy is not handed out again: the newer copy would
// sort before older ones of its second, and be the first to go.
QString freshName(const QList<Copy>& copies, const QString& stem, const QDateTime& at, const QString& suffix)
{
    const QString stamp = stampOf(at);
    int serial = 0;
    for (const Copy& copy : copies)
        if (copy.stamp == stamp)
            serial = std::max(serial, copy.serial);
    const QString name = stem + stamp;
    return serial == 0 ? name + suffix : name + QStringLiteral("-%1").arg(serial + 1) + suffix;
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

// Whether the tables of a copy hold any race or result; `schema` is empty
// for a copy's own file. One statement for both engines, answering 1 or 0.
QString holdsRacesStatement(const QString& schema)
{
    const QString prefix = schema.isEmpty() ? QString() : SqlDialect::quoteName(schema.toUtf8()) + QLatin1Char('.');
    return QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM %1%2) OR EXISTS (SELECT 1 FROM %1%3) "
                          "THEN 1 ELSE 0 END")
        .arg(prefix, SqlDialect::quoteName("races"), SqlDialect::quoteName("result"));
}

bool answersYes(QSqlQuery& query, const QString& statement)
{
    return query.exec(statement) && query.next() && query.value(0).toInt() != 0;
}

// A copy file is read through a connection of its own, read-only and
// marked unchanging, so that reading it writes nothing beside it; a copy
// that cannot be read counts as holding no races.
bool fileHoldsRaces(const QString& path)
{
    const QString name = QStringLiteral("VEXO_ACC-backup-reader");
    bool holds = false;
    {
        QSqlDatabase copy = QSqlDatabase::addDatabase(SqlDialect::driverName(SqlEngine::SQLite), name);
        copy.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        QUrl file = QUrl::fromLocalFile(path);
        file.setQuery(QStringLiteral("immutable=1"));
        copy.setDatabaseName(file.toString(QUrl::FullyEncoded));
        if (copy.open()) {
            QSqlQuery query(copy);
            holds = answersYes(query, holdsRacesStatement(QString()));
        }
        copy.close();
    }
    QSqlDatabase::removeDatabase(name);
    return holds;
}

// The copies that go, oldest first: all but the `keep` newest, except the
// newest copy that holds any race or result. Every import attempt makes a
// copy, failed ones too, so an official mending a file line by line soon
// has only copies of an empty meet; the last copy of the meet's races is
// kept beside them until a newer copy holds races of its own.
QList<Copy> copiesToRemove(const QList<Copy>& copies, int keep, const std::function<bool(const Copy&)>& holdsRaces)
{
    const qsizetype firstKept = std::max<qsizetype>(copies.size() - std::max(keep, 1), 0);
    qsizetype lastWithRaces = -1;
    for (qsizetype i = copies.size() - 1; i >= 0 && lastWithRaces < 0; --i)
        if (holdsRaces(copies[i]))
            lastWithRaces = i;
    QList<Copy> going;
    for (qsizetype i = 0; i < firstKept; ++i)
        if (i != lastWithRaces)
            going << copies[i];
    return going;
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
    const QString target =
        freshName(orderedCopies(names, base, QString()), base + QStringLiteral("-backup-"), at, QString());

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
    QSqlQuery reader(database.connection());
    const auto holdsRaces = [&](const Copy& copy) { return answersYes(reader, holdsRacesStatement(copy.path)); };
    for (const Copy& copy : copiesToRemove(orderedCopies(serverCopyNames(database), base, QString()), keep, holdsRaces))
        QSqlQuery(database.connection()).exec(SqlDialect::dropSchema(copy.path));
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
    const QFileInfo db(database.filePath());
    const QString target = freshName(copiesBeside(database),
                                     db.absoluteDir().absoluteFilePath(db.completeBaseName() + QStringLiteral("-backup-")),
                                     at, QStringLiteral(".db"));
    copyDatabase(query, target);

    // Removing an old copy that will not go is no reason to stop the import:
    // the newest copies are what an official needs. An empty file under a
    // copy's name goes first, so that it never takes a real copy's place.
    QList<Copy> copies = copiesBeside(database);
    for (const Copy& copy : copies)
        if (copy.empty)
            QFile::remove(copy.path);
    copies.removeIf([](const Copy& copy) { return copy.empty; });
    for (const Copy& copy : copiesToRemove(copies, keep, [](const Copy& copy) { return fileHoldsRaces(copy.path); }))
        QFile::remove(copy.path);
    return target;
}

QStringList existing(const Database& database)
{
    if (database.engine() == SqlEngine::PostgreSQL) {
        QStringList names;
        for (const Copy& copy : orderedCopies(serverCopyNames(database), QString::fromLatin1(Database::alias), {}))
            names << copy.path;
        return names;
    }
    QStringList paths;
    for (const Copy& copy : copiesBeside(database))
        if (!copy.empty)
            paths << copy.path;
    return paths;
}

} // namespace DatabaseBackup
