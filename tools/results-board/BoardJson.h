#pragma once

#include "results-board/Meet.h"

#include <QByteArray>

// The meet as JSON, for scoreboards and other programs: the same data the
// pages show. A time is a number of seconds, or null for no time.
namespace BoardJson {

QByteArray races(const Meet& meet);
// Null when the meet has no race of that key.
QByteArray race(const Meet& meet, int key);

} // namespace BoardJson
