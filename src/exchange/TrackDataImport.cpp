#include "exchange/TrackDataImport.h"

#include "exchange/DatabaseBackup.h"
#include "exchange/TrackDataFile.h"
#include "store/Athlete.h"
#include "store/Database.h"
#include "store/Event.h"
#include "store/Miscl.h"
#include "store/Pbest.h"
#include "store/Query.h"
#include "store/Race.h"
#include "store/Record.h"
#include "store/Result.h"
#include "store/StoreInOrder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <optional>

ETrackDataLine::ETrackDataLine(int line, const QString& reason)
    : Exception(QStringLiteral("Failed to Save data to Database, error on line: ") + QString::number(line)
                + QLatin1Char('\n') + reason)
    , m_line(line)
    , m_reason(reason)
{
}

namespace {

// One record object of each kind serves every line of that kind. Stores
// the line and answers its kind, or 0 for a line of no kind.
struct LineStore {
    ATHLETE athlete;
    EVENT event;
    RECORD record;
    PBEST pbest;

    char store(const QByteArray& line, Query& query)
    {
        switch (line.front()) {
        case 'A':
            athlete.parse(line);
            athlete.store(query);
            break;
        case 'E':
            event.parse(line);
            event.store(query);
            break;
        case 'R':
            record.parse(line);
            record.store(query);
            break;
        case 'P':
            pbest.parse(line);
            pbest.store(query);
            break;
        default:
            return 0; // headers, comments and anything else a spreadsheet adds
        }
        return line.front();
    }
};

// What each line stored: its kind letter (0 for none), and for an event
// line the event's name.
struct StoredLines {
    QByteArray kinds;
    QList<QByteArray> events;

    explicit StoredLines(qsizetype lines)
        : kinds(lines, '\0')
        , events(lines)
    {
    }
};

// The lines counted by kind, of those before `end`. Counted once the
// storing is over rather than as each line goes: a batch in which a line
// fails is stored again up to that line, and on a server its later lines
// were already handed over before the failure showed. An event named on
// several lines is one row of the table, and counts once.
TrackDataCounts countKinds(const StoredLines& stored, qsizetype end)
{
    TrackDataCounts counts;
    counts.lines = int(stored.kinds.size());
    QSet<QByteArray> events;
    for (qsizetype i = 0; i < end; ++i) {
        switch (stored.kinds[i]) {
        case 'A':
            ++counts.athletes;
            break;
        case 'E':
            events.insert(stored.events[i]);
            break;
        case 'R':
            ++counts.records;
            break;
        case 'P':
            ++counts.pbests;
            break;
        default:
            break;
        }
    }
    counts.events = int(events.size());
    return counts;
}

void emptyTables(Query& query)
{
    RESULT::deleteAll(query);
    RACE::deleteAll(query);
    RECORD::deleteAll(query);
    ATHLETE::deleteAll(query);
    PBEST::deleteAll(query);
}

// The database's own files, typed into the file dialog by mistake, are
// refused before they are opened: reading them would empty the meet for a
// file of no lines, and opening and closing them in this process drops the
// file locks by which the engine shares them with other programs.
void refuseDatabaseFiles(const Database& database, const QString& path)
{
    const QString chosen = QFileInfo(path).canonicalFilePath();
    const QString file = QFileInfo(database.filePath()).canonicalFilePath();
    for (const QString& own : {file, file + QStringLiteral("-wal"), file + QStringLiteral("-shm"),
                               file + QStringLiteral("-journal")})
        if (!chosen.isEmpty() && chosen == own)
            throw Exception(QStringLiteral("The file %1 is the database itself, not a track data file: choose the "
                                           "meet's .csv file")
                                .arg(QDir::toNativeSeparators(path)));
}

} // namespace

TrackDataCounts ImportTrackData(Database& database, Query& query, const QString& path)
{
    refuseDatabaseFiles(database, path);
    const QList<QByteArray> lines = TrackDataFile::read(path);
    DatabaseBackup::create(query, QDateTime::currentDateTime());

    StoredLines stored(lines.size());
    std::optional<ETrackDataLine> failure;
    database.begin();
    try {
        emptyTables(query);
        LineStore store;
        // A line that fails ends the import there; the lines before it are
        // kept, as an official expects from the message naming the line.
        try {
            storeInOrder(
                query, lines.size(),
                [&](qsizetype i) {
                    const QByteArray line = Miscl::trim(lines[i]);
                    if (line.isEmpty())
                        return;
                    try {
                        stored.kinds[i] = store.store(line, query);
                        if (stored.kinds[i] == 'E')
                            stored.events[i] = store.event.event;
                    } catch (const Exception& e) {
                        throw ETrackDataLine(int(i), e.message());
                    }
                },
                Statements::Together);
        } catch (const ETrackDataLine& e) {
            failure.emplace(e);
        }
        database.commit();
    } catch (...) {
        database.rollback();
        throw;
    }
    if (failure) {
        failure->setStored(countKinds(stored, failure->line()));
        throw *failure;
    }
    return countKinds(stored, lines.size());
}
