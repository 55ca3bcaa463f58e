#pragma once

#include <QByteArray>
#include <QString>

// What a search typed on one of the main window's pages does to that page's
// table. Pages by index: 0 Races, 1 Athletes, 2 Records, 3 Events, 4 P.Best,
// 5 Coms; only the first five have a search.
struct SearchFilter {
    enum class Action {
        None,   // the page has no search: nothing at all happens
        Remove, // the empty text: the filter is removed, all rows show
        Apply,  // expression becomes the table's filter
    };

    Action action = Action::None;
    QByteArray expression;
};

constexpr int searchPageCount = 5;

// Classifies the typed text, exactly as typed, by the page and its form: an
// expression (holding =, < or >) is the filter itself; a gender letter, an
// age of 1 to 19, a race or athlete number of 20 or more, or else a text
// compared with the page's event or surname field. The typed text placed
// between quotes has its apostrophes doubled, so that O'Brien is looked for
// rather than ending the quoted text early.
SearchFilter searchFilter(int page, const QByteArray& text);

// The search box's hint on a page; empty on the pages without a search.
QString searchHint(int page);
