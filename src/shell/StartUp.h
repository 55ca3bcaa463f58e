#pragma once

#include "shell/AppWindows.h"
#include "shell/Main.h"

#include <memory>

// Every window of the program, created once, hidden, in start-up order:
// the main window first, since the others use its tables.
class ProgramWindows : public AppWindows {
public:
    ~ProgramWindows();

    std::unique_ptr<TMainForm> main;
    std::vector<std::unique_ptr<QWidget>> others; // in creation order
};

// Throws when the database or the settings file cannot be used, or their
// folder takes no new files.
std::unique_ptr<ProgramWindows> createProgramWindows(const MainFormPlaces& places);

// The program's start: its windows, or, when they cannot be made, one error
// box that says why and no windows (the program then ends).
std::unique_ptr<ProgramWindows> startProgram(const MainFormPlaces& places);
