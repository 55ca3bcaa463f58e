#include "shell/StartUp.h"

#include "barcode/Bcodedialog.h"
#include "helpview/Helpdialog1.h"
#include "link/CPortFrm.h"

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

    // Every port's "Coms Setup" shows a dialog of its own; this one is the
    // program's instance, kept like every other window.
    TSerialFrm::Install();
    auto serialFrm = std::make_unique<TSerialFrm>();
    windows->serialFrm = serialFrm.get();
    windows->others.push_back(std::move(serialFrm));

    auto helpDialog = std::make_unique<THelpDialog>(nullptr, places.programFolder);
    windows->helpDialog = helpDialog.get();
    windows->others.push_back(std::move(helpDialog));
    return windows;
}
