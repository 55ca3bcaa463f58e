// Draws the screenshot of the race details window in the docs
// (docs/images/race-details.png): a race added from the template, its first
// six times typed in by hand, and six bibs scanned, so that a record, two
// personal bests and plain entered numbers show in their colours.
//   QT_QPA_PLATFORM=offscreen race-details-image <source folder>   (or tools/doc-images/make-images.sh)

#include "shell/GridTyping.h"
#include "shell/RecordingUiServices.h"

#include "entry/Athleteselectdialog.h"
#include "entry/Racedetailsdialog.h"
#include "entry/Timederror.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "store/Query.h"
#include "store/RaceText.h"

#include <QApplication>
#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <source folder>\n", argv[0]);
        return 2;
    }
    QTemporaryDir dir;
    Database db(dir.path());
    Query query(db);
    RecordingUiServices ui;
    QSqlQuery sql(db.connection());
    for (const char* statement : {
             "INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (1204, 'Megan', 'Fraser', 12, 'Eagles', 'F')",
             "INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (1187, 'Aisha', 'Okafor', 12, 'Harriers', 'F')",
             "INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (1233, 'Chloe', 'Bennett', 12, 'Eagles', 'F')",
             "INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (1150, 'Ruby', 'Lindqvist', 12, 'Striders', 'F')",
             "INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (1262, 'Sophie', 'McAllister', 12, 'Harriers', 'F')",
             "INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (1175, 'Hana', 'Kowalski', 12, 'Striders', 'F')",
             "INSERT INTO record (gender, event, age, value, type) VALUES ('F', '100M', 12, 12.4, 1)",
             "INSERT INTO pb (athlete_number, event, value) VALUES (1204, '100M', 12.52)",
             "INSERT INTO pb (athlete_number, event, value) VALUES (1187, '100M', 12.6)",
             "INSERT INTO pb (athlete_number, event, value) VALUES (1233, '100M', 12.71)",
             "INSERT INTO pb (athlete_number, event, value) VALUES (1262, '100M', 13.4)",
         })
        if (!sql.exec(QString::fromLatin1(statement)))
            return 1;
    const qint32 race = storeRaceText("00:00,01/01/00,999,LANE,U99,100M,,,1,88,B01,2,88,B02,3,88,B03,4,88,B04,"
                                      "5,88,B05,6,88,B06,7,88,B07,8,88,B08,9,88,B09,10,88,B10,11,88,B11,12,88,B12,\r\n",
                                      query);

    TTimedErrorForm warning;
    TathleteSelectForm select(db);
    TRaceDetailsForm form(db, query, warning, select);
    form.openForRace(race, QStringLiteral("Race 999 - U99  100M, 14/06/2025, 10:35"));
    QApplication::setActiveWindow(&form);
    if (!QTest::qWaitForWindowActive(&form))
        return 1;

    DataGrid* grid = form.resultDBGrid;
    const QStringList times{"12.31", "12.58", "12.90", "13.12", "13.40", "13.77"};
    for (const QString& time : times) {
        // A time is corrected by hand in the cell's editor (F2), so that a
        // stray scan in the column cannot change it.
        grid->setSelectedField("value");
        pressKey(grid, Qt::Key_F2);
        scan(grid, time);
        QTest::keyClick(grid, Qt::Key_Down);
    }
    // A picture of times that did not take would pass for the real one.
    DataSet& results = form.resultTable();
    for (int row = 0; row < times.size(); ++row)
        if (results.value(row, results.fieldIndex("value")).toDouble() != times[row].toDouble()) {
            std::fprintf(stderr, "the time %s was not taken in place %d\n", qPrintable(times[row]), row + 1);
            return 1;
        }
    results.First();
    grid->setSelectedField("athlete_number");
    for (const char* bib : {"1204", "1187", "1233", "1150", "1262", "1175"})
        scan(grid, QString::fromLatin1(bib));

    QApplication::processEvents();
    const QString file = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("docs/images/race-details.png"));
    if (!form.grab().save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    return ui.errors.isEmpty() ? 0 : 1;
}
