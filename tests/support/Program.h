#pragma once

#include "shell/Main.h"
#include "shell/StartUp.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <memory>

// How the program's own timers run in a test.
//   Stopped: the status checks are off (no timer unit is plugged in).
//   ByHand:  the status and quiet timers are set so long that they never
//            fire while a test runs; the test calls their handlers itself.
//   Real:    they run at their own pace.
enum class ProgramClock { Stopped, ByHand, Real };

// The interval of a timer that runs by hand.
constexpr int neverMs = 3600 * 1000;

// The program as start-up makes it over the places, its main window shown
// and holding the keyboard, its timers as the clock says.
inline std::unique_ptr<ProgramWindows> showProgram(const MainFormPlaces& places, ProgramClock clock)
{
    auto windows = createProgramWindows(places);
    TMainForm* main = windows->mainForm;
    if (clock == ProgramClock::Stopped) {
        main->Timer1->stop();
    } else if (clock == ProgramClock::ByHand) {
        main->Timer1->setInterval(neverMs);
        main->rxQuietIntervalMs = neverMs;
    }
    main->show();
    QApplication::setActiveWindow(main);
    // The fixture checks that it got the keyboard; a station does without.
    (void)QTest::qWaitForWindowActive(main);
    return windows;
}
