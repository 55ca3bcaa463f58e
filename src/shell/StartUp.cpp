#include "shell/StartUp.h"

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
    return windows;
}
