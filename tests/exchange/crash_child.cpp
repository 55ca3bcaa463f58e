// The program the crash-consistency test kills. It runs the meet of
// CrashMeet.h through the code the program itself runs: the track data
// import, a race text journalled and stored as the reception does it, and
// each place scanned as the race details window stores a scan. Every step
// it completes is reported on standard output, one line each, written
// straight to the pipe so that a kill loses nothing already reported.
//
//   crash_child run <database folder> <small.csv> <big.csv> <first step>
//   crash_child copy <database folder> <file size limit in bytes>
//
// "copy" makes one backup copy of the database with the file size limit
// set, so that the program ends in the middle of the copy.

#include "CrashMeet.h"

#include "exchange/DatabaseBackup.h"
#include "exchange/TrackDataImport.h"
#include "link/RaceJournal.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "store/Exception.h"
#include "store/Query.h"
#include "store/RaceText.h"

#include <QCoreApplication>
#include <QDateTime>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace {

void report(const QByteArray& line)
{
    const QByteArray out = line + '\n';
    if (::write(STDOUT_FILENO, out.constData(), size_t(out.size())) != out.size())
        std::perror("crash_child: report");
}

void raceStep(Database& database, Query& query, RaceJournal& journal, int raceNumber)
{
    const QByteArray text = CrashMeet::raceText(raceNumber);
    journal.received(text, QStringLiteral("A"));
    report("handed " + QByteArray::number(raceNumber));
    const StoredRace race = storeRace(text.trimmed(), query);
    journal.stored(race.number, race.key, race.places);
    const QByteArray key = QByteArray::number(race.key);
    report("stored " + QByteArray::number(raceNumber) + ' ' + key);

    DataSet results(database, "result");
    results.setIndexName("PrimaryKey");
    results.setFilter(QStringLiteral("race_id_pk = ") + QString::fromLatin1(key));
    results.setFiltered(true);
    results.Open();
    while (!results.Eof()) {
        const QByteArray place = results.FieldByName("place").AsString();
        const int athlete = CrashMeet::scannedAthlete(raceNumber, place.toInt());
        results.Edit();
        results.setFieldValue("athlete_number", athlete);
        results.CheckBrowseMode();
        report("scan " + key + ' ' + place + ' ' + QByteArray::number(athlete));
        results.Next();
    }
}

int run(const QStringList& args)
{
    const QString folder = args.value(2);
    Database database(folder);
    Query query(database);
    if (args.value(1) == QLatin1String("copy")) {
        const rlimit limit{args.value(3).toULongLong(), args.value(3).toULongLong()};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        DatabaseBackup::create(query, QDateTime::currentDateTime());
        report("copied");
        return 0;
    }

    report("started");
    RaceJournal journal(folder);
    for (int step = args.value(5).toInt(); step <= CrashMeet::lastStep; ++step) {
        if (step == 0 || step == CrashMeet::importStep) {
            report("import begins");
            ImportTrackData(database, query, args.value(step == 0 ? 3 : 4));
            report("import done");
        } else {
            raceStep(database, query, journal, CrashMeet::raceNumberOf(step));
        }
        report("step " + QByteArray::number(step) + " done");
    }
    report("finished");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // No core file for the end the copy test brings about.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    try {
        return run(app.arguments());
    } catch (const Exception& e) {
        std::fprintf(stderr, "crash_child: %s\n", qPrintable(e.message()));
    }
    return 1;
}
