#pragma once

#include <functional>

class Database;
class Query;
class QWidget;

// The main window's Import Track Data and Export Results buttons, whole:
// every box and dialog goes through UiServices::current().

// Asks "This operation will clear all existing race data. ..." (Yes/No); on
// Yes, asks for the track data file, ends every pending edit of the windows
// through endPendingEdits (a post that fails is shown in the error box,
// nothing is imported and nothing re-read), and imports the file. A line that fails is
// shown in the error box "Failed to Save data to Database, error on line:
// ...". Either way a notice then says what was stored ("Imported 60
// athletes, ... from meet.csv", or where the import stopped). refreshPages then re-reads the five pages (records, athletes, races,
// events, personal bests, in that order) whether the file was imported,
// the dialog cancelled or a line failed. Any other failure of the import
// leaves the database unchanged and goes on to the caller (the
// application's standard error box), without a refresh.
void importTrackDataAction(QWidget* parent, Database& database, Query& query,
                           const std::function<void()>& refreshPages,
                           const std::function<void()>& endPendingEdits = {});

// Asks where to save (proposing "something.csv"), ends every pending edit
// of the windows through endPendingEdits (a post that fails is shown and
// nothing is written) and writes the results file, then says in a notice
// what it wrote; any failure is shown as "Failed to save results.\n" and its
// message.
void exportResultsAction(QWidget* parent, Query& query, const std::function<void()>& endPendingEdits = {});
