#pragma once

#include <QByteArray>

class Query;

// Reads a whole race text, header and timed places, and stores the race and
// one result per place. The rows go in as one transaction, so a race costs
// one commit; when a place fails to read or store, the race and the places
// before it stay stored (committed) and the error goes on to the caller.
// A text holding a NUL byte is refused whole (EConvertError saying where).
// Returns the new race's key.
qint32 storeRaceText(QByteArray text, Query& query);

// The same, telling what was stored.
struct StoredRace {
    qint32 key = 0;
    qint32 number = 0;
    int places = 0;
};
StoredRace storeRace(QByteArray text, Query& query);

// The layout of race texts, for telling where one race ends and the next
// begins when several arrive one after the other.
namespace RaceLayout {

// Whether line (without its line end) is the comma-separated line of a
// single-line race: it holds the eight header fields, so at least seven
// commas. A wrong character inside a field keeps it such a line; it is then
// refused when it is read, not mistaken for part of another race.
bool isSingleLineRace(const QByteArray& line);

// Whether line is a timed place of a multi-line race: the place in columns
// 1 and 2 (digits or blanks), blanks in columns 3 and 4, at least 15
// characters; or the timer unit's C.T.K. line.
bool isPlaceLine(const QByteArray& line);

// The byte offset in text (which starts with a race) of the line where the
// next race begins, or -1 when text holds one race only, as far as its
// lines go. Every line of text counts as whole, so a caller still receiving
// passes only what ends in a line end. A race begins at
// - the second line, when the first is a single-line race;
// - a single-line race's line, from the second line on;
// - from the third line on: a line that begins with neither a digit nor a
//   blank (the age group of a multi-line race's first line) and is not a
//   place, followed by a line that ends in a number (the race number of
//   its second line) and is not a place either.
qsizetype nextRaceStart(const QByteArray& text);

} // namespace RaceLayout
