#pragma once

#include <QByteArray>
#include <QColor>

#include <optional>

// The background colours that grids give their cells from the row's data.
// Each rule gives the colour to paint, or nothing to keep the cell's
// ordinary background; text, alignment and font colour are never changed.
// Missing values (a null field, a lookup that found no row) are passed as
// std::nullopt and read as 0, false or the empty text.
namespace ColourRules {

QColor red();        // a record
QColor yellow();     // a personal best
QColor lightGreen(); // an athlete number entered
QColor lime();       // a completed race
QColor pink();       // a woman
QColor lightBlue();  // anyone else
QColor orange();     // a scanned number to look at (unknown, wrong group, twice in a race)

// Races: a completed race is lime in every column.
std::optional<QColor> completedColour(std::optional<bool> completed);

// Athletes, records and the athlete selection: a gender of exactly "F" is
// pink, any other (including "f" and the empty text) light blue, in every
// column.
std::optional<QColor> genderColour(const QByteArray& gender);

// Results of a race: nothing before an athlete number is entered, and never
// for the Number column itself; otherwise red when the performance equals or
// beats the record, else yellow when it equals or beats the personal best,
// else light green. Lower is better for every event. A missing record or
// personal best reads as 0, which no positive performance reaches. A place
// without a time (empty, 0 or less, RESULT::noTime or more) is light green: it is
// never a record or a personal best.
std::optional<QColor> performanceColour(std::optional<qint32> athleteNumber, const QByteArray& columnField,
                                        std::optional<double> value, std::optional<double> dpb,
                                        std::optional<double> grecord);

} // namespace ColourRules
