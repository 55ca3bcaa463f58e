// Search and filter of the main window's pages, and the athletes grid's
// sorting by column title.

#include "shell/Main.h"

#include "browse/ColumnSort.h"
#include "browse/Search.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

void TMainForm::btnSearchClick()
{
    const int page = PageControl->currentIndex();
    const QByteArray typed = edtSearch->text().toUtf8();
    const SearchFilter filter = searchFilter(page, typed);
    if (filter.action == SearchFilter::Action::None)
        return;
    DataSet& table = tableOfPage(page);
    if (filter.action == SearchFilter::Action::Remove) {
        table.setFilter(QString());
        table.setFiltered(false);
        table.First();
        searchText[page].clear();
        return;
    }
    // A filter that cannot be read raises here and leaves the page's
    // search text as it was.
    table.setFilter(QString::fromUtf8(filter.expression));
    table.setFiltered(true);
    searchText[page] = typed;
}

void TMainForm::edtSearchKeyPress(QChar& key)
{
    if (key == QLatin1Char('\r')) {
        key = QChar();
        btnSearchClick();
    }
}

void TMainForm::btnClearClick()
{
    edtSearch->clear();
    btnSearchClick();
}

void TMainForm::PageControlChange()
{
    const int page = PageControl->currentIndex();
    QTabBar* tabs = PageControl->tabBar();
    for (int i = 0; i < tabs->count(); ++i)
        tabs->setTabTextColor(i, i == page ? palette().color(QPalette::Highlight) : QColor());
    const bool searchable = page >= 0 && page < searchPageCount;
    edtSearch->setToolTip(searchHint(page));
    edtSearch->setVisible(searchable);
    btnSearch->setVisible(searchable);
    btnClear->setVisible(searchable);
    if (searchable)
        edtSearch->setText(QString::fromUtf8(searchText[page]));
}

void TMainForm::athleteDBGridTitleClick(int column)
{
    static const QList<SortableColumn> sortable{{QStringLiteral("*Number"), "PrimaryKey"},
                                                {QStringLiteral("*Surname"), "Surname"}};
    sortByTitle(*athleteDBGrid, sortable, athleteSortedColumn, column);
}
