#pragma once

#include "store/Exception.h"
#include "timer-sim/RaceTexts.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A command line that cannot be run; the message names the option at fault.
class UsageError : public Exception {
public:
    using Exception::Exception;
};

// What one run of the simulator sends, and where.
struct SimOptions {
    QByteArray device; // empty: a pseudo-terminal of its own
    QByteArray link;   // a symbolic link kept pointing at the pseudo-terminal; empty none
    int baud = 57600;  // the application's default rate

    QString file; // empty: generated races
    RaceForm form = RaceForm::SingleLine;
    bool mixedForms = false; // single-line and multi-line races by turns
    TimerUnitRace race;     // the first generated race
    bool stampTime = true;  // take the race time and date from the computer's
    bool stampDate = true;  // clock when the race is sent
    int races = 1;          // generated races per pass
    int garble = 0;         // every garble-th generated race garbled; 0 none
    int repeat = 1;         // passes; 0 sends until stopped

    int chunk = 0;          // bytes per write; 0 writes a race in one piece
    int chunkDelayMs = 0;
    int raceDelayMs = 3000; // more than the 2 s of quiet that end a multi-line race
    bool backToBack = false;
    bool waitKey = false;
    bool waitForOpen = true; // pseudo-terminal: hold races until the application opens it

    bool help = false;
};

// Reads the arguments (the program name first). Throws UsageError.
SimOptions parseSimOptions(const QStringList& arguments);

QString simHelpText();
