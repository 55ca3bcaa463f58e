#pragma once

// The race texts a timer unit sends: the single-line form (one comma-
// separated line) and the multi-line form (fixed columns), both ended by
// CR LF. Texts are 8-bit (QByteArray), columns count bytes from 1.

#include <QByteArray>
#include <QList>

enum class RaceForm { SingleLine, MultiLine };

// One generated race as the timer unit would report it.
struct TimerUnitRace {
    int number = 1;              // 1 to 999: the multi-line form has three digits for it
    QByteArray ageGroup = "U12G"; // at most 7 characters, e.g. U12G, U9B, U99
    QByteArray event = "100M";    // the timer unit's event code, at most 7 characters
    int places = 8;              // 1 to 99
    int untimedPlaces = 0;       // the last places, sent with 00.00
    int heat = 1;                // 0 to 99
    QByteArray clockTime = "00:00"; // as the timer unit prints them; read by
    QByteArray clockDate = "01/01/00"; // nobody, but part of the text
    bool ctkLine = true;         // multi-line form: the C.T.K. line after the places
};

// Times of the timed places in hundredths of a second, strictly increasing,
// all below 100 s since the timer unit writes two digits of whole seconds.
// The same race always gets the same times, so a run can be repeated.
QList<int> placeTimes(const TimerUnitRace& race);

// "12.34" for 1234; always two digits of seconds ("09.87"), since the
// reading end takes the first two characters as the whole seconds.
QByteArray timeText(int hundredths);

// The race number that follows number: 999 is followed by 1.
int nextRaceNumber(int number);

// 10:35,09/12/26,12,LANE,U12G,100M,,1,1,12.34,B01,2,12.56,B02,...,CR LF
QByteArray singleLineRaceText(const TimerUnitRace& race);

// Line 1: the age group from column 1 (age digits 2-3, gender 4), the event
// code in columns 8-14, from column 15 "H" and the two-digit heat. It stays
// under 24 characters so that its line feed stands within position 25,
// which makes the reading end wait for the quiet after the whole block.
// Line 2: date and time, the race number in the last three characters.
// Then one 15-character line per place (place in columns 1-2, the time
// from column 5, the lane in the last two) and the C.T.K. line.
QByteArray multiLineRaceText(const TimerUnitRace& race);

QByteArray raceText(const TimerUnitRace& race, RaceForm form);

// The text of race with one character wrong, as a noisy line garbles it,
// so that the application refuses it:
// - single-line: the race number's last digit becomes the letter O ("1O"),
//   so the race is not read at all;
// - multi-line: the time of place 1 becomes 12.3..4, so the race is read
//   and stored without places.
// The layout stays as it was: the text is still framed as one race.
QByteArray garbledRaceText(const TimerUnitRace& race, RaceForm form);
