#include "browse/ColumnSort.h"

#include "shell/DataGrid.h"
#include "store/DataSet.h"

bool sortByTitle(DataGrid& grid, const QList<SortableColumn>& sortable, int& sortedColumn, int clickedColumn)
{
    const QString title = grid.columnTitle(clickedColumn);
    for (const SortableColumn& column : sortable) {
        if (column.title != title)
            continue;
        if (DataSet* ds = grid.dataSet()) {
            ds->setIndexName(column.indexName);
            if (ds->Active())
                ds->Refresh();
        }
        markSortedColumn(grid, sortedColumn, clickedColumn);
        return true;
    }
    return false;
}

void markSortedColumn(DataGrid& grid, int& sortedColumn, int clickedColumn)
{
    if (sortedColumn >= 0) {
        grid.setColumnTitleBold(sortedColumn, false);
        QString title = grid.columnTitle(sortedColumn);
        title.chop(1);
        grid.setColumnTitle(sortedColumn, title);
    }
    grid.setColumnTitle(clickedColumn, grid.columnTitle(clickedColumn) + QLatin1Char('*'));
    grid.setColumnTitleBold(clickedColumn, true);
    sortedColumn = clickedColumn;
}

void markIndexInForce(DataGrid& grid, const QList<SortableColumn>& sortable, int& sortedColumn)
{
    const DataSet* ds = grid.dataSet();
    if (sortedColumn < 0 || !ds)
        return;
    for (const SortableColumn& column : sortable) {
        if (column.indexName != ds->IndexName())
            continue;
        if (grid.columnTitle(sortedColumn) == column.title + QLatin1Char('*'))
            return; // marked already
        for (int c = 0; c < grid.columnCount(); ++c)
            if (grid.columnTitle(c) == column.title)
                markSortedColumn(grid, sortedColumn, c);
        return;
    }
}
