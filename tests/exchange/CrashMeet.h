#pragma once

#include <QByteArray>
#include <QtGlobal>

// The meet that the crash-consistency test runs in a child program and
// kills: what the child does, step by step, and what the test expects of
// the database afterwards.
//
// Step 0 imports a smaller track data file (the meet as it stood), steps 1 to
// 10 store a race each with a scan of every place, step 11 imports the big
// track data file (100,000 lines), and the steps after it store more races
// and scans. A step the child was killed in is done again by the next run.
//
// With VEXO_TEST_SMALL set (the sanitized build sets it for every test) the
// big file is a tenth of that: the sanitizers slow the import tenfold, and
// the kills land in its copy and its lines all the same.
namespace CrashMeet {

constexpr int importStep = 11;
constexpr int lastStep = 400;

constexpr int smallAthletes = 5000;
inline bool smallRun()
{
    return qEnvironmentVariableIsSet("VEXO_TEST_SMALL");
}

inline int bigAthletes()
{
    return smallRun() ? 7000 : 70000;
}

inline int bigRecords()
{
    return smallRun() ? 1000 : 10000;
}

inline int bigPbests()
{
    return smallRun() ? 1950 : 19950;
}

constexpr int bigEvents = 50;

// 100,000, or 10,000 in a small run.
inline int bigLines()
{
    return bigEvents + bigAthletes() + bigRecords() + bigPbests();
}

inline int raceNumberOf(int step)
{
    return step < importStep ? step : step - 1;
}

inline int placesOf(int raceNumber)
{
    return 2 + raceNumber % 7;
}

inline QByteArray timeOf(int raceNumber, int place)
{
    return QByteArray::number(10 + place + (raceNumber % 50) / 100.0, 'f', 2);
}

inline QByteArray laneOf(int place)
{
    return "B0" + QByteArray::number(place);
}

// The single-line race text the timer unit sends for a race.
inline QByteArray raceText(int raceNumber)
{
    QByteArray text = "10:00,18/05/24," + QByteArray::number(raceNumber) + ",LANE,U12G,100M,,,";
    for (int place = 1; place <= placesOf(raceNumber); ++place)
        text += QByteArray::number(place) + ',' + timeOf(raceNumber, place) + ',' + laneOf(place) + ',';
    return text + "\r\n";
}

inline int scannedAthlete(int raceNumber, int place)
{
    return raceNumber * 10 + place;
}

inline QByteArray smallTrackData()
{
    QByteArray file = "Kind,Number,First name,Surname,Age,Team,Gender\r\nE,100M,EV03\r\n";
    for (int n = 1; n <= smallAthletes; ++n)
        file += "A," + QByteArray::number(n) + ",Small,Meet,11,Old AC,F\r\nP," + QByteArray::number(n)
            + ",100M,14.5\r\n";
    return file + "R,F,100M,11,13.9,1\r\n";
}

// bigLines() lines: events, athletes, records and personal bests.
inline QByteArray bigTrackData()
{
    const int bigAthletes = CrashMeet::bigAthletes();
    const int bigRecords = CrashMeet::bigRecords();
    const int bigPbests = CrashMeet::bigPbests();
    QByteArray file;
    for (int e = 0; e < bigEvents; ++e)
        file += "E,EV" + QByteArray::number(e) + ",T" + QByteArray::number(e) + "\r\n";
    for (int n = 1; n <= bigAthletes; ++n)
        file += "A," + QByteArray::number(100000 + n) + ",First" + QByteArray::number(n) + ",Sur"
            + QByteArray::number(n) + ',' + QByteArray::number(8 + n % 10) + ",Team " + QByteArray::number(n % 40)
            + (n % 2 ? ",F\r\n" : ",M\r\n");
    for (int r = 0; r < bigRecords; ++r)
        file += QByteArray(r % 2 ? "R,F,EV" : "R,M,EV") + QByteArray::number(r % bigEvents) + ','
            + QByteArray::number(8 + r % 10) + ",12.5,1\r\n";
    for (int p = 0; p < bigPbests; ++p)
        file += "P," + QByteArray::number(100001 + p) + ",EV" + QByteArray::number(p % bigEvents) + ",13.25\r\n";
    return file;
}

} // namespace CrashMeet
