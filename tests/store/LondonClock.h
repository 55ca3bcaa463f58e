#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>

// While it lives, the process keeps the local time of Europe/London, whose
// clocks jump from 01:00 to 02:00 on 2026-03-29; the zone before is put back
// even when the test fails.
struct LondonClock {
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    const QByteArray zone = qgetenv("TZ");
    LondonClock()
    {
        qputenv("TZ", "Europe/London");
        tzset();
    }
    ~LondonClock()
    {
        if (hadZone)
            qputenv("TZ", zone);
        else
            qunsetenv("TZ");
        tzset();
    }
};
