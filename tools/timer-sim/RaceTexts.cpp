#include "timer-sim/RaceTexts.h"

#include <algorithm>

namespace {

constexpr int largestTime = 9999; // 99.99 s: two digits of whole seconds
constexpr int smallestGap = 3;
constexpr int gapSpread = 55; // gaps of 0.03 to 0.57 s between places

// The distance in metres that the event code starts with (100M, 80MH), or
// 100 when it starts with no digits.
int distance(const QByteArray& event)
{
    int metres = 0;
    for (const char c : event) {
        if (c < '0' || c > '9')
            break;
        metres = std::min(metres * 10 + (c - '0'), 100000);
    }
    return metres > 0 ? metres : 100;
}

// A small generator of its own, so that the times depend only on the race.
class Spread {
public:
    explicit Spread(quint32 seed)
        : m_state(seed * 2654435761u + 12345u)
    {
    }
    int next(int range)
    {
        m_state = m_state * 1103515245u + 12345u;
        return static_cast<int>((m_state >> 16) % static_cast<quint32>(range));
    }

private:
    quint32 m_state;
};

QByteArray twoDigits(int value)
{
    return QByteArray::number(value).rightJustified(2, '0');
}

} // namespace

QList<int> placeTimes(const TimerUnitRace& race)
{
    const int timed = std::max(0, race.places - race.untimedPlaces);
    QList<int> times;
    if (timed == 0)
        return times;
    Spread spread(static_cast<quint32>(race.number) * 31u + static_cast<quint32>(distance(race.event)));
    // Roughly 12 s per 100 m for the winner, within what two digits of
    // seconds can hold after every gap has been added.
    const int winner = std::clamp(distance(race.event) * 12, 700, 6000) + spread.next(100);
    const int latestStart = largestTime - (timed - 1) * (smallestGap + gapSpread - 1);
    int time = std::min(winner, latestStart);
    for (int i = 0; i < timed; ++i) {
        if (i > 0)
            time += smallestGap + spread.next(gapSpread);
        times.append(time);
    }
    return times;
}

QByteArray timeText(int hundredths)
{
    return twoDigits(hundredths / 100) + '.' + twoDigits(hundredths % 100);
}

int nextRaceNumber(int number)
{
    return number >= 999 ? 1 : number + 1;
}

QByteArray singleLineRaceText(const TimerUnitRace& race)
{
    const QList<int> times = placeTimes(race);
    QByteArray text = race.clockTime + ',' + race.clockDate + ',' + QByteArray::number(race.number) + ",LANE,"
        + race.ageGroup + ',' + race.event + ",," + QByteArray::number(race.heat) + ',';
    for (int place = 1; place <= race.places; ++place) {
        const QByteArray time = place <= times.size() ? timeText(times[place - 1]) : QByteArray("00.00");
        text += QByteArray::number(place) + ',' + time + ",B" + twoDigits(place) + ',';
    }
    return text + "\r\n";
}

QByteArray multiLineRaceText(const TimerUnitRace& race)
{
    const QList<int> times = placeTimes(race);
    QByteArray text = race.ageGroup.leftJustified(7, ' ') + race.event.leftJustified(7, ' ') + 'H'
        + twoDigits(race.heat) + "\r\n";
    text += race.clockDate + ' ' + race.clockTime + "  RACE "
        + QByteArray::number(race.number).rightJustified(3, '0') + "\r\n";
    for (int place = 1; place <= race.places; ++place) {
        const QByteArray time = place <= times.size() ? timeText(times[place - 1]) : QByteArray("00.00");
        text += twoDigits(place) + "  " + time + "    " + twoDigits(place) + "\r\n";
    }
    if (race.ctkLine)
        text += "00  C.T.K.   00\r\n";
    return text;
}

QByteArray raceText(const TimerUnitRace& race, RaceForm form)
{
    return form == RaceForm::SingleLine ? singleLineRaceText(race) : multiLineRaceText(race);
}

QByteArray garbledRaceText(const TimerUnitRace& race, RaceForm form)
{
    QByteArray text = raceText(race, form);
    if (form == RaceForm::SingleLine) {
        // Fields 1 and 2 are the time and date; the number ends at the
        // third comma.
        const qsizetype numberEnd = text.indexOf(',', text.indexOf(',', text.indexOf(',') + 1) + 1);
        text[numberEnd - 1] = 'O';
        return text;
    }
    // Place 1 is the third line; its time stands in columns 5 to 9, the
    // blanks after it make room for the longer text.
    const qsizetype placeLine = text.indexOf('\n', text.indexOf('\n') + 1) + 1;
    text.replace(placeLine + 4, 7, "12.3..4");
    return text;
}
