// demo-import FOLDER FILE: imports the track data file into the meet of the
// station whose settings file and database are in FOLDER, exactly as the
// station's Import Track Data does (safety copy included), and says what it
// stored. The settings file's [Database] section is honoured, so a demo can
// run on a meet server too.

#include "exchange/TrackDataImport.h"
#include "shell/EngineSettings.h"
#include "store/Database.h"
#include "store/Query.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        err << "usage: demo-import FOLDER FILE\n";
        return 2;
    }
    const QString folder = QDir(arguments[1]).absolutePath();
    try {
        Database database(readDatabaseSettings(folder + QStringLiteral("/VEXO_BARCODE.ini")), folder);
        Query query(database);
        const TrackDataCounts counts = ImportTrackData(database, query, arguments[2]);
        QTextStream(stdout) << QStringLiteral("Imported %1 athletes, %2 events, %3 records, %4 personal bests\n")
                                   .arg(counts.athletes)
                                   .arg(counts.events)
                                   .arg(counts.records)
                                   .arg(counts.pbests);
    } catch (const Exception& e) {
        err << "demo-import: " << e.message() << '\n';
        return 1;
    }
    return 0;
}
