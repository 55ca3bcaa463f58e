#pragma once

#include "results-board/Meet.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The HTML pages of the board. Each page is whole for a browser that opens
// it, or only its <main> for the script that keeps an open page up to date:
// the script swaps that part in place, so the page neither reloads nor
// jumps. Every text from the database goes through BoardText::html.
namespace BoardPages {

struct View {
    quint64 generation = 0; // of the meet, which the script asks after
    bool mainOnly = false;  // only the inside of <main>
    QDateTime now;          // printed on the sheets
};

struct MeetFilter {
    QString event; // empty: every event
    QString group; // BoardRace::group(); empty: every group
};

QByteArray meet(const Meet& meet, const MeetFilter& filter, const View& view);
// Null when the meet has no race of that key.
QByteArray race(const Meet& meet, int key, const View& view);
QByteArray announcer(const Meet& meet, const View& view);
QByteArray print(const Meet& meet, const View& view);
// The address spectators open, with its QR code as /qr.svg.
QByteArray qr(const QString& address, const View& view);
QByteArray notFound(const View& view);

} // namespace BoardPages
