#include "shell/StartUp.h"

#include "barcode/Bcodedialog.h"
#include "entry/Athleteselectdialog.h"
#include "entry/Racedetailsdialog.h"
#include "entry/Timederror.h"
#include "helpview/Helpdialog1.h"
#include "link/CPortFrm.h"
#include "store/DataSet.h"

ProgramWindows::~ProgramWindows()
{
    // The later windows use the main window's tables: they go first.
    while (!others.empty())
        others.pop_back();
    main.reset();
}

std::unique_ptr<ProgramWindows> createProgramWindows(const MainFormPlaces& places)
{
    auto windows = std::make_unique<ProgramWindows>();
    windows->main = std::make_unique<TMainForm>(places, *windows);
    windows->mainForm = windows->main.get();

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
