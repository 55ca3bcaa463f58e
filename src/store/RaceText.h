#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

class Query;

// Reads a whole race text, header and timed places, and stores the race and
// one result per place. The rows go in as one transaction, so a race costs
// one commit; when a place fails to read or store, the race and the places
// before it stay stored (committed) and the error goes on to the caller.
// A text holding a NUL byte is refused whole (EConvertError saying where).
// Returns the new race's key.
qint32 storeRaceText(QByteArray text, Query& query);

// What storeRace stored of a text.
struct StoredRace {
    qint32 key = 0;
    qint32 number = 0;
    int places = 0;
    // The places the text holds; more than places when it was stored in part.
    int placesInText = 0;
    // Empty when the race was stored whole; otherwise what ended it, as
    // "place line 3 could not be read: <why>", and the failure itself.
    QString missing;
    std::exception_ptr failure;

    bool whole() const { return missing.isEmpty(); }
    // "race 9 stored with 2 of 4 places; place line 3 could not be read: ..."
    QString partMessage() const;
};

// The same, telling what was stored: a place that cannot be read or stored
// ends the race there, and the race and the places before it are stored
// and reported, not thrown. Throws when nothing of the race is stored.
// With replacing (a race's key), that race's rows are removed in the same
// transaction and the text stored under its key, scans kept place by place:
// a race stored in part is so mended without a second race of its number.
// When the new race cannot be stored at all, the old one stays.
StoredRace storeRace(QByteArray text, Query& query, qint32 replacing = 0);

// The layout of race texts, for telling where one race ends and the next
// begins when several arrive one after the other.
namespace RaceLayout {

// No line of a race is longer: a line past it is the link's garbage (a
// line that never ends), refused whole.
constexpr qsizetype longestLine = 64 * 1024;

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
