#include "exchange/ExchangeSummary.h"

#include "exchange/ResultsExport.h"
#include "exchange/TrackDataImport.h"

namespace {

QString storedKinds(const TrackDataCounts& counts)
{
    using ExchangeSummary::counted;
    return QStringLiteral("%1, %2, %3, %4")
        .arg(counted(counts.athletes, "athlete", "athletes"), counted(counts.events, "event", "events"),
             counted(counts.records, "record", "records"),
             counted(counts.pbests, "personal best", "personal bests"));
}

} // namespace

namespace ExchangeSummary {

QString counted(qint64 count, const char* one, const char* many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QString::fromLatin1(count == 1 ? one : many));
}

QString imported(const TrackDataCounts& counts, const QString& file)
{
    return QStringLiteral("Imported %1 from %2").arg(storedKinds(counts), file);
}

QString importStopped(const ETrackDataLine& failure, const QString& file)
{
    if (!failure.stored())
        return QStringLiteral("Nothing was imported from %1; the meet is as it was").arg(file);
    return QStringLiteral("The import of %1 stopped at line %2: only the lines before it were stored, %3")
        .arg(file)
        .arg(failure.line())
        .arg(storedKinds(*failure.stored()));
}

QString exported(const ResultsWritten& written, const QString& file)
{
    if (written.results == 0)
        return QStringLiteral("Wrote no results to %1: no place of any race holds an athlete number").arg(file);
    QString text = QStringLiteral("Wrote %1 of %2 to %3")
                       .arg(counted(written.results, "result", "results"), counted(written.races, "race", "races"),
                            file);
    if (written.racesNotCompleted == 0)
        text += written.races == 1 ? QStringLiteral("; it is completed") : QStringLiteral("; all of them completed");
    else if (written.races == 1)
        text += QStringLiteral("; it is not completed");
    else
        text += QStringLiteral("; %1 of them not completed").arg(written.racesNotCompleted);
    return text;
}

} // namespace ExchangeSummary
