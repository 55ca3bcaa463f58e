#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class DataGrid;

// A column title that re-orders its grid: clicking the title switches the
// grid's table to the index.
struct SortableColumn {
    QString title; // exactly as the grid shows it, "*" first
    QByteArray indexName;
};

// The title click of a sortable grid: a title equal to one of the sortable
// captions switches the table to that index, refreshes it and marks the
// column; any other title, and the marked column itself (whose caption then
// ends in an extra "*"), changes nothing. Returns whether it sorted.
bool sortByTitle(DataGrid& grid, const QList<SortableColumn>& sortable, int& sortedColumn, int clickedColumn);

// Unmarks the previously marked column (its bold title goes, and the "*"
// marking added) and marks the clicked one: "*" appended, title bold.
void markSortedColumn(DataGrid& grid, int& sortedColumn, int clickedColumn);

// After the table was switched to another index without a title click:
// when a column carries the mark, the mark goes to the column of the index
// in force, so that the titles show the order of the rows.
void markIndexInForce(DataGrid& grid, const QList<SortableColumn>& sortable, int& sortedColumn);
