// Another station of the meet, for the two-station test: the program's
// windows over a database folder shared with the test, run in a process of
// its own and driven by lines on its standard input, each answered by one
// line on its standard output:
//   races N         waits, at most 2 s, until its races grid shows N races;
//                   answers the number shown
//   scan KEY DIGITS opens race KEY and scans DIGITS into its first timed
//                   place; answers the number stored there
//   event KEY TEXT  stores TEXT as race KEY's event through its races table;
//                   answers "stored" or the refusal
//   code EVENT TG   waits, at most 2 s, until its Events page shows EVENT,
//                   and types TG as its timer-unit code; answers "stored"
//                   or the refusal
//   clock ISO       stamps the races it stores with this fixed time
//   store N         stores N races as received from port A; answers the
//                   error boxes shown meanwhile
//   quit

#include "GridTyping.h"
#include "RecordingUiServices.h"

#include "entry/Racedetailsdialog.h"
#include "shell/DataGrid.h"
#include "shell/StartUp.h"
#include "support/Eventually.h"
#include "support/Program.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "store/Exception.h"
#include "store/Race.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QSqlQuery>
#include <QTest>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

class Station {
public:
    Station(const QString& databaseFolder, const QString& settingsFolder)
    {
        // The station's own timers run, as they do at a meet.
        windows = showProgram({databaseFolder, settingsFolder + QStringLiteral("/VEXO_BARCODE.ini"), settingsFolder},
                              ProgramClock::Real);
        main = windows->mainForm;
    }

    QString answer(const QStringList& words)
    {
        const QString command = words.value(0);
        if (command == QLatin1String("races"))
            return racesShown(words.value(1).toInt());
        if (command == QLatin1String("scan"))
            return scan(words.value(1).toInt(), words.value(2));
        if (command == QLatin1String("event"))
            return storeEvent(words.value(1).toInt(), words.value(2));
        if (command == QLatin1String("code"))
            return storeCode(words.value(1), words.value(2));
        if (command == QLatin1String("clock")) {
            const QDateTime fixed = QDateTime::fromString(words.value(1), Qt::ISODate);
            RACE::setClock([fixed] { return fixed; });
            return QStringLiteral("ok");
        }
        if (command == QLatin1String("store")) {
            ui.errors.clear();
            for (int i = 0; i < words.value(1).toInt(); ++i)
                main->ProcessRaceData(TMainForm::raceTemplate, QStringLiteral("A"));
            return QStringLiteral("errors: ") + ui.errors.join(QLatin1Char('|'));
        }
        return QStringLiteral("unknown command");
    }

private:
    QString racesShown(int wanted)
    {
        // The station's own timers run meanwhile, as they do at a meet.
        eventually([&] { return main->RaceTable().RecordCount() >= wanted; }, 2000);
        return QString::number(main->RaceTable().RecordCount());
    }

    bool goToRace(int key)
    {
        DataSet& races = main->RaceTable();
        for (int row = 0; row < races.RecordCount(); ++row)
            if (races.value(row, races.fieldIndex("race_id_pk")).toInt() == key) {
                races.moveTo(row);
                return true;
            }
        return false;
    }

    QString scan(int key, const QString& digits)
    {
        if (!goToRace(key))
            return QStringLiteral("no race %1").arg(key);
        main->raceDBGridDblClick();
        TRaceDetailsForm* details = windows->raceDetailsForm;
        // The peer replaces its own scan at place 1, as an official would by
        // moving the cursor there first.
        details->resultTable().First();
        QApplication::setActiveWindow(details);
        details->resultDBGrid->setFocus();
        ::scan(details->resultDBGrid, digits);
        QSqlQuery q(main->database().connection());
        q.exec(QStringLiteral("SELECT athlete_number FROM result WHERE race_id_pk = %1 ORDER BY result_id_pk").arg(key));
        q.next();
        return q.value(0).toString();
    }

    QString storeEvent(int key, const QString& event)
    {
        if (!goToRace(key))
            return QStringLiteral("no race %1").arg(key);
        try {
            main->RaceTable().setFieldValue("event", event);
            main->RaceTable().CheckBrowseMode();
        } catch (const Exception& e) {
            return e.message();
        }
        return QStringLiteral("stored");
    }

    QString storeCode(const QString& event, const QString& code)
    {
        DataSet& events = main->EventTable();
        auto row = [&] {
            for (int r = 0; r < events.RecordCount(); ++r)
                if (events.value(r, events.fieldIndex("event")).toString() == event)
                    return r;
            return -1;
        };
        if (!eventually([&] { return row() >= 0; }, 2000))
            return QStringLiteral("no event %1").arg(event);
        events.moveTo(row());
        try {
            events.setFieldValue("tg_event", code);
            events.CheckBrowseMode();
        } catch (const Exception& e) {
            return e.message();
        }
        return QStringLiteral("stored");
    }

    RecordingUiServices ui;
    std::unique_ptr<ProgramWindows> windows;
    TMainForm* main = nullptr;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::cerr << "usage: station_peer DATABASE_FOLDER SETTINGS_FOLDER\n";
        return 2;
    }
    Station station(args[1], args[2]);
    std::cout << "ready" << std::endl;

    // Commands are read as they come, while the station's event loop runs.
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        do {
            std::string line;
            if (!std::getline(std::cin, line) || line == "quit") {
                input.setEnabled(false);
                QApplication::quit();
                return;
            }
            const QStringList words = QString::fromStdString(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            std::cout << station.answer(words).toStdString() << std::endl;
        } while (std::cin.rdbuf()->in_avail() > 0);
    });
    return QApplication::exec();
}
