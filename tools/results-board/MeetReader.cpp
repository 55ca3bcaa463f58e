#include "results-board/MeetReader.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <sys/stat.h>

namespace {

QAtomicInt connections;

QSqlQuery run(const QSqlDatabase& db, const char* statement)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(SqlDialect::translate(QByteArray(statement))))
        throw EDatabaseError(q.lastError().text());
    return q;
}

// Every column the board shows, in the order the stations keep them. The
// personal best and the record are looked up as the race details window
// does: the best through the athlete and the race's event, the record
// through the athlete's own age and gender with the race's event, the
// first row when the record table holds two.
const char* const racesQuery =
    "SELECT [race_id_pk],[number],[datetime],[event],[completed],[age],[gender],[heat] FROM [races]";
const char* const placesQuery =
    "SELECT r.[race_id_pk], r.[place], r.[value], r.[lane], r.[athlete_number], a.[firstname], a.[surname], "
    "a.[team], "
    "(SELECT p.[value] FROM [pb] p WHERE p.[athlete_number] = r.[athlete_number] AND p.[event] = ra.[event] "
    "LIMIT 1), "
    "(SELECT k.[value] FROM [record] k WHERE k.[age] = a.[age] AND k.[event] = ra.[event] "
    "AND k.[gender] = a.[gender] ORDER BY k.[row_id] LIMIT 1) "
    "FROM [result] r JOIN [races] ra ON ra.[race_id_pk] = r.[race_id_pk] "
    "LEFT JOIN [athletes] a ON a.[number] = r.[athlete_number] "
    "ORDER BY r.[race_id_pk], r.[value], r.[result_id_pk]";

} // namespace

MeetReader::MeetReader(const DatabaseSettings& settings, const QString& folder)
    : m_settings(settings)
    , m_connectionName(QStringLiteral("vexo-results-%1").arg(connections.fetchAndAddRelaxed(1)))
{
    if (settings.engine == SqlEngine::SQLite)
        m_filePath = QDir(folder).absoluteFilePath(QString::fromLatin1(Database::alias) + QStringLiteral(".db"));
}

MeetReader::~MeetReader()
{
    close();
}

QString MeetReader::description() const
{
    if (m_settings.engine == SqlEngine::PostgreSQL)
        return QStringLiteral("on the server \"%1\"").arg(m_settings.connection);
    return QDir::toNativeSeparators(m_filePath);
}

bool MeetReader::open(QString& problem)
{
    if (m_settings.engine == SqlEngine::SQLite) {
        // A read-only connection cannot create the file: the station makes
        // it on its first start.
        struct stat file {};
        if (::stat(QFile::encodeName(m_filePath).constData(), &file) != 0) {
            problem = QStringLiteral("There is no meet database %1 yet: start the station once.").arg(description());
            return false;
        }
        m_device = file.st_dev;
        m_inode = file.st_ino;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(SqlDialect::driverName(m_settings.engine), m_connectionName);
        if (m_settings.engine == SqlEngine::PostgreSQL) {
            db.setConnectOptions(m_settings.connection);
        } else {
            db.setDatabaseName(m_filePath);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        }
        if (!db.open()) {
            problem = QStringLiteral("Cannot open the meet database %1: %2").arg(description(), db.lastError().text());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            return false;
        }
        m_open = true;
    }
    try {
        if (m_settings.engine == SqlEngine::PostgreSQL) {
            const QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            for (const QString& setup : SqlDialect::connectionSetup(SqlEngine::PostgreSQL))
                QSqlQuery(db).exec(setup);
            // One snapshot for the races and their places, and never a
            // write, whatever a later change of this code sends.
            run(db, "SET SESSION CHARACTERISTICS AS TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY");
        }
    } catch (const EDatabaseError& e) {
        problem = QStringLiteral("Cannot read the meet database %1: %2").arg(description(), e.message());
        close();
        return false;
    }
    m_seen = QVariant();
    return true;
}

void MeetReader::close()
{
    if (!m_open)
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_open = false;
}

bool MeetReader::replacedUnderUs() const
{
    if (m_settings.engine != SqlEngine::SQLite)
        return false;
    struct stat file {};
    if (::stat(QFile::encodeName(m_filePath).constData(), &file) != 0)
        return true;
    return file.st_dev != m_device || file.st_ino != m_inode;
}

QVariant MeetReader::commitMark()
{
    QSqlQuery q = run(QSqlDatabase::database(m_connectionName, false),
                      SqlDialect::commitCounter(m_settings.engine).toUtf8().constData());
    if (!q.next())
        throw EDatabaseError(q.lastError().text());
    return q.value(0);
}

bool MeetReader::refresh(Meet& meet)
{
    if (m_open && replacedUnderUs())
        close();
    QString problem;
    if (!m_open && !open(problem)) {
        if (meet.problem == problem)
            return false;
        meet = Meet();
        meet.problem = problem;
        return true;
    }
    try {
        QVariant mark = commitMark();
        if (mark == m_seen && meet.problem.isEmpty())
            return false;
        meet = readMeet();
        m_seen = std::move(mark);
        return true;
    } catch (const EDatabaseError& e) {
        close();
        meet = Meet();
        meet.problem = QStringLiteral("Cannot read the meet database %1: %2").arg(description(), e.message());
        return true;
    }
}

Meet MeetReader::readMeet()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    // Races and places from one snapshot, so a race stored between the two
    // reads shows whole on the next tick rather than half now.
    if (!db.transaction())
        throw EDatabaseError(db.lastError().text());
    Meet meet;
    try {
        QHash<int, qsizetype> byKey;
        QSqlQuery races = run(db, racesQuery);
        while (races.next()) {
            BoardRace race;
            race.key = races.value(0).toInt();
            race.number = races.value(1).toInt();
            const QVariant stored = races.value(2);
            const double days = SqlDialect::dayCountFromStorage(stored);
            if (days != 0)
                race.datetime = QDateTime(QDate(1899, 12, 30).addDays(qint64(days)),
                                          QTime(0, 0).addSecs(int(qRound64((days - qint64(days)) * 86400))));
            race.event = races.value(3).toString();
            race.completed = races.value(4).toInt() != 0;
            race.age = races.value(5).toInt();
            race.gender = races.value(6).toString();
            race.heat = races.value(7).toInt();
            byKey.insert(race.key, meet.races.size());
            meet.races << race;
        }
        QSqlQuery places = run(db, placesQuery);
        while (places.next()) {
            const auto at = byKey.constFind(places.value(0).toInt());
            if (at == byKey.cend())
                continue;
            BoardPlace place;
            place.place = places.value(1).toString();
            place.value = places.value(2).toDouble();
            place.lane = places.value(3).toString();
            place.athleteNumber = places.value(4).toInt();
            place.firstname = places.value(5).toString();
            place.surname = places.value(6).toString();
            place.team = places.value(7).toString();
            markPlace(place, places.value(8).toDouble(), places.value(9).toDouble());
            meet.races[*at].places << place;
        }
    } catch (...) {
        db.rollback();
        throw;
    }
    db.commit();
    // Newest first; a race key counts time and starts again every ten days,
    // so the stamp orders them, the key only within one minute.
    std::stable_sort(meet.races.begin(), meet.races.end(), [](const BoardRace& a, const BoardRace& b) {
        return a.datetime != b.datetime ? a.datetime > b.datetime : a.key > b.key;
    });
    return meet;
}
