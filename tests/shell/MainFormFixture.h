#pragma once

#include "support/ProgramFixture.h"

// The program started over a fresh folder for each test. No timer unit is
// plugged in here: port A's failed open at start-up is not what these tests
// look at, nor are the status checks.
class MainFormFixture : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        prepareSettings();
        if (IsSkipped() || HasFatalFailure())
            return;
        start(Clock::Stopped);
        if (HasFatalFailure())
            return;
        ui.errors.clear();
        ui.beeps = 0;
    }

    // Writes what the settings file must hold before the program starts.
    virtual void prepareSettings() {}
};
