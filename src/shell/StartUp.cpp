#include "shell/StartUp.h"

#include "barcode/Bcodedialog.h"
#include "entry/Athleteselectdialog.h"
#include "entry/Racedetailsdialog.h"
#include "entry/Timederror.h"
#include "helpview/Helpdialog1.h"
#include "link/CPortFrm.h"
#include "shell/Application.h"
#include "shell/FileLocations.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "store/Exception.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>

namespace {

// The database engine writes its log files beside the database even to read
// it, and the settings are written at the first start: in a folder where no
// file can be made (a write-protected stick, a data folder that could not be
// made) every later step would fail with the engine's own words.
void requireWritableFolders(const MainFormPlaces& places)
{
    const QString databaseFolder = QFileInfo(places.databaseFolder).absoluteFilePath();
    const QString settingsFolder = QFileInfo(places.settingsFile).absolutePath();
    const QString database = QString::fromLatin1(Database::alias) + QStringLiteral(".db");
    for (const QString& folder : {databaseFolder, settingsFolder}) {
        // A missing folder is named by the step that needs it.
        if (!QFileInfo(folder).isDir() || canCreateFilesIn(folder))
            continue;
        QString needs = QStringLiteral("its database %1 and its settings").arg(database);
        if (folder != databaseFolder)
            needs = QStringLiteral("its settings file %1").arg(QFileInfo(places.settingsFile).fileName());
        else if (folder != settingsFolder)
            needs = QStringLiteral("its database %1").arg(database);
        throw Exception(QStringLiteral("The folder %1 is read-only: VEXO needs to write %2 there. Copy the whole "
                                       "folder, with the program, its settings and its database, to a folder you "
                                       "can write and start it there, or make this one writable.")
                            .arg(QDir::toNativeSeparators(folder), needs));
    }
}

// The Coms page's first line says where this start keeps its files: beside
// the program, or in the user's data folder when the program's own folder
// takes no files.
void logFileLocations(TMainForm& main, const MainFormPlaces& places)
{
    const QString help = QDir(places.programFolder).filePath(QStringLiteral("help"));
    main.comsMemo->moveCursor(QTextCursor::End);
    main.comsMemo->insertPlainText(QStringLiteral("Settings %1, database, backups and race journal in %2; help pages "
                                                  "in %3\n")
                                       .arg(QFileInfo(places.settingsFile).fileName(),
                                            QDir::toNativeSeparators(QFileInfo(places.settingsFile).absolutePath()),
                                            QDir::toNativeSeparators(help)));
}

} // namespace

ProgramWindows::~ProgramWindows()
{
    // The later windows use the main window's tables: they go first.
    while (!others.empty())
        others.pop_back();
    main.reset();
}

std::unique_ptr<ProgramWindows> createProgramWindows(const MainFormPlaces& places)
{
    requireWritableFolders(places);
    auto windows = std::make_unique<ProgramWindows>();
    windows->main = std::make_unique<TMainForm>(places, *windows);
    windows->mainForm = windows->main.get();
    logFileLocations(*windows->main, places);

    auto bcodeForm = std::make_unique<TbcodeForm>(places.settingsFile);
    windows->bcodeForm = bcodeForm.get();
    windows->others.push_back(std::move(bcodeForm));

    TMainForm& main = *windows->main;
    auto raceDetailsForm = std::make_unique<TRaceDetailsForm>(main.database(), main.Query1());
    windows->raceDetailsForm = raceDetailsForm.get();
    raceDetailsForm->racesChanged = [&main] { main.RaceTable().Refresh(); };
    windows->others.push_back(std::move(raceDetailsForm));

    // Every port's "Coms Setup" shows a dialog of its own; this one is the
    // program's instance, kept like every other window.
    TSerialFrm::Install();
    auto serialFrm = std::make_unique<TSerialFrm>();
    windows->serialFrm = serialFrm.get();
    windows->others.push_back(std::move(serialFrm));

    auto athleteSelectForm = std::make_unique<TathleteSelectForm>(main.database());
    windows->athleteSelectForm = athleteSelectForm.get();
    windows->others.push_back(std::move(athleteSelectForm));

    auto helpDialog = std::make_unique<THelpDialog>(nullptr, places.programFolder);
    windows->helpDialog = helpDialog.get();
    windows->others.push_back(std::move(helpDialog));

    auto timedErrorForm = std::make_unique<TTimedErrorForm>();
    windows->timedErrorForm = timedErrorForm.get();
    windows->others.push_back(std::move(timedErrorForm));

    windows->raceDetailsForm->setCompanions(*windows->timedErrorForm, *windows->athleteSelectForm);
    return windows;
}

std::unique_ptr<ProgramWindows> startProgram(const MainFormPlaces& places)
{
    // A server that is down or does not answer may be on its way (started
    // after the stations, a laptop waking): the official may try again
    // rather than start the program once more.
    for (;;) {
        try {
            return createProgramWindows(places);
        } catch (const EConnectionLost& e) {
            if (!UiServices::current().confirm(nullptr,
                                               e.message()
                                                   + QStringLiteral("\n\nClick OK to try again, or Cancel to quit."),
                                               UiServices::Buttons::OkCancel))
                return nullptr;
        } catch (...) {
            showException(std::current_exception());
            return nullptr;
        }
    }
}
