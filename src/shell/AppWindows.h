#pragma once

class TMainForm;
class TbcodeForm;
class TRaceDetailsForm;
class TSerialFrm;
class TathleteSelectForm;
class THelpDialog;
class TTimedErrorForm;

// The program's windows, each created once at start-up, hidden, in this
// order, and living until the program ends. A window reaches another
// through here; one not created yet is null.
struct AppWindows {
    TMainForm* mainForm = nullptr;
    TbcodeForm* bcodeForm = nullptr;
    TRaceDetailsForm* raceDetailsForm = nullptr;
    TSerialFrm* serialFrm = nullptr;
    TathleteSelectForm* athleteSelectForm = nullptr;
    THelpDialog* helpDialog = nullptr;
    TTimedErrorForm* timedErrorForm = nullptr;
};
