#pragma once

#include <QByteArray>
#include <QList>

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

// Multi-line races as a timer unit resending its memory sends them: a first
// line shorter and one longer than 15 characters, race number lines of
// several forms, a C.T.K. place. Race 12 line by line, then whole.
inline const QList<QByteArray> raceLines = {"U12G   100M\r\n", "RACE 012\r\n", "01  12.34    L1\r\n",
                                            "02  12.56    L2\r\n"};
inline const QByteArray shortFirst = raceLines.join();
inline const QByteArray longFirst = "U9B    EV03   H01\r\n09/12/26 06:15  RACE 013\r\n01  12.04    01\r\n"
                                    "02  12.35    02\r\n03  12.75    03\r\n00  C.T.K.   00\r\n";
inline const QByteArray third = "U14B   200M   H02 Final\r\nRace No.   014\r\n01  25.10    04\r\n";
