#pragma once

#include <QByteArray>

// Race texts as a timer unit sends them, for the framing table and the
// reception tests alike.

// 40 characters, two timed places.
inline const QByteArray fortyCharacters = "0,0,7,L,U12G,100M,,,1,12.34,A,2,12.56,B,";

// A single-line race of the given number with places timed 12.11, 12.12...
inline QByteArray singleLineRace(int number, int places)
{
    QByteArray text = "00:00,01/01/00," + QByteArray::number(number) + ",LANE,U12G,100M,,1,";
    for (int place = 1; place <= places; ++place)
        text += QByteArray::number(place) + ",12." + QByteArray::number(10 + place) + ",B"
                + QByteArray::number(place) + ',';
    return text + "\r\n";
}
