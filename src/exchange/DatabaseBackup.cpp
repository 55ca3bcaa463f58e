#include "exchange/DatabaseBackup.h"

#include "store/Database.h"
#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Query.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

struct Copy {
    QString path;
    QString stamp;
    int serial = 1;
};

QString stampOf(const QDateTime& at)
{
    return at.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

// The copies in name order would put "-103500-2.db" before "-103500.db";
// they are ordered by their stamp and serial instead.
QList<Copy> copiesBeside(const Database& database)
{
    const QFileInfo db(database.filePath());
    const QString base = db.completeBaseName();
    const QRegularExpression name(QStringLiteral("^%1-backup-(\\d{8}-\\d{6})(?:-(\\d+))?\\.db$")
                                      .arg(QRegularExpression::escape(base)));
    QList<Copy> copies;
    const QDir folder = db.absoluteDir();
    const QStringList candidates =
        folder.entryList({base + QStringLiteral("-backup-*.db")}, QDir::Files, QDir::Name);
    for (const QString& file : candidates) {
        const auto m = name.match(file);
        if (!m.hasMatch())
            continue;
        copies.push_back({folder.absoluteFilePath(file), m.captured(1),
                          m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()});
    }
    std::sort(copies.begin(), copies.end(), [](const Copy& a, const Copy& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.serial < b.serial;
    });
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

// The copy is made through the program's own connection: a second
// connection, or any other opening of the database file in this process,
// puts at risk the file locks by which SQLite shares the file with other
// programs (a descriptor closed drops all of the process's locks on the
// file). The query is closed first, since SQLite copies nothing while a
// statement of the connection is still being read; the copy is the last
// committed state, write-ahead log included.
void copyDatabase(Query& query, const QString& target)
{
    try {
        query.setSQL("VACUUM INTO '" + Miscl::sqlText(target.toUtf8()) + "'");
        query.ExecSQL();
    } catch (const Exception& e) {
        QFile::remove(target); // a partial copy is no copy
        throw Exception(QStringLiteral("Cannot make the backup copy %1 of the database: %2")
                            .arg(QDir::toNativeSeparators(target), e.message()));
    }
}

} // namespace

namespace DatabaseBackup {

QString create(Query& query, const QDateTime& at, int keep)
{
    const Database& database = query.database();
    const QString target = freshName(database, at);
    copyDatabase(query, target);

    // Removing an old copy that will not go is no reason to stop the import:
    // the newest copies are what an official needs.
    const QList<Copy> copies = copiesBeside(database);
    for (qsizetype i = 0; i + std::max(keep, 1) < copies.size(); ++i)
        QFile::remove(copies[i].path);
    return target;
}

QStringList existing(const Database& database)
{
    QStringList paths;
    for (const Copy& copy : copiesBeside(database))
        paths << copy.path;
    return paths;
}

} // namespace DatabaseBackup
