#include "shell/DataGrid.h"

#include "shell/Application.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>

// Paints cells with the background a handler chose, and hands the keys
// typed into a cell editor to the grid first.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(DataGrid* grid)
        : QStyledItemDelegate(grid)
        , m_grid(grid)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const GridColumn& column = m_grid->m_model.columns()[index.column()];
        if (!column.pickList.isEmpty()) {
            auto* box = new QComboBox(parent);
            box->addItems(column.pickList);
            box->setFont(m_grid->font());
            return box;
        }
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setAlignment(column.alignment);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* box = qobject_cast<QComboBox*>(editor)) {
            const int i = box->findText(index.data(Qt::EditRole).toString());
            box->setCurrentIndex(i < 0 ? 0 : i);
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        bool written = true;
        if (auto* box = qobject_cast<QComboBox*>(editor))
            written = model->setData(index, box->currentText(), Qt::EditRole);
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            written = model->setData(index, line->text(), Qt::EditRole);
        else
            QStyledItemDelegate::setModelData(editor, model, index);
        if (!written) {
            m_grid->m_commitFailed = true;
            if (const QString error = m_grid->m_model.takeError(); !error.isEmpty())
                m_grid->showFailure(error);
        }
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        std::optional<QColor> chosen;
        if (m_grid->drawColumnCell) {
            try {
                chosen = m_grid->drawColumnCell(index.row(), index.column());
            } catch (...) {
                chosen.reset(); // painting goes on; the data will say what is wrong
            }
        }
        if (chosen) {
            opt.backgroundBrush = *chosen;
            if (opt.state & QStyle::State_Selected) {
                // The chosen colour replaces the selection's background; the
                // text keeps the selection's colour.
                opt.palette.setColor(QPalette::Text, opt.palette.color(QPalette::HighlightedText));
                opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
            }
        }
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        if (style)
            style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        else
            QStyledItemDelegate::paint(painter, opt, index);
    }

    void commitAndClose(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
    {
        if (hint != QAbstractItemDelegate::RevertModelCache)
            emit commitData(editor);
        emit closeEditor(editor, hint);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            if (auto* editor = qobject_cast<QWidget*>(object))
                if (m_grid->editorKey(editor, static_cast<QKeyEvent*>(event)))
                    return true;
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    DataGrid* m_grid;
};

DataGrid::DataGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(this)
{
    m_delegate = new GridDelegate(this);
    setItemDelegate(m_delegate);
    setModel(&m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    setSortingEnabled(false);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(fontMetrics().horizontalAdvance(QLatin1Char('W')) + 10);

    // The selection stays visible when the grid loses the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (titleClick)
            runGuarded([&] { titleClick(column); });
    });
    connect(&m_model, &QAbstractItemModel::modelReset, this, &DataGrid::followDataSet);
}

DataGrid::~DataGrid() = default;

void DataGrid::setDataSet(DataSet* dataSet, const QList<GridColumn>& columns)
{
    if (DataSet* old = m_model.dataSet())
        disconnect(old, nullptr, this, nullptr);
    m_model.setDataSet(dataSet, columns);
    // A column without a width of its own is as wide as its title needs.
    const QFontMetrics titles(horizontalHeader()->font());
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, columns[i].width > 0 ? columns[i].width
                                               : std::max(64, titles.horizontalAdvance(columns[i].title) + 28));
    if (dataSet)
        connect(dataSet, &DataSet::currentRowChanged, this, &DataGrid::followDataSet);
    followDataSet();
}

QString DataGrid::columnTitle(int column) const
{
    return column >= 0 && column < columnCount() ? m_model.columns()[column].title : QString();
}

void DataGrid::setColumnTitle(int column, const QString& title)
{
    if (column < 0 || column >= columnCount())
        return;
    m_model.column(column).title = title;
    m_model.columnHeaderChanged(column);
}

bool DataGrid::columnTitleBold(int column) const
{
    return column >= 0 && column < columnCount() && m_model.columns()[column].titleBold;
}

void DataGrid::setColumnTitleBold(int column, bool bold)
{
    if (column < 0 || column >= columnCount())
        return;
    m_model.column(column).titleBold = bold;
    m_model.columnHeaderChanged(column);
}

int DataGrid::columnOf(const QByteArray& field) const
{
    const auto& columns = m_model.columns();
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int DataGrid::selectedColumn() const
{
    return currentIndex().isValid() ? currentIndex().column() : 0;
}

QByteArray DataGrid::selectedField() const
{
    const int c = selectedColumn();
    return c >= 0 && c < columnCount() ? m_model.columns()[c].field : QByteArray();
}

void DataGrid::setSelectedField(const QByteArray& field)
{
    const int column = columnOf(field);
    if (column < 0)
        return;
    DataSet* ds = dataSet();
    const int row = ds && ds->RecNo() >= 0 ? ds->RecNo() : 0;
    m_following = true;
    setCurrentIndex(m_model.index(row, column));
    m_following = false;
}

QVariant DataGrid::cellValue(int row, const QByteArray& field) const
{
    DataSet* ds = dataSet();
    if (!ds)
        return {};
    const int f = ds->fieldIndex(field);
    return f < 0 ? QVariant() : ds->value(row, f);
}

void DataGrid::deleteCurrentRow()
{
    DataSet* ds = dataSet();
    if (!ds || !ds->Active() || ds->IsEmpty())
        return;
    if (!UiServices::current().confirm(this, QStringLiteral("Delete record?"), UiServices::Buttons::OkCancel))
        return;
    runGuarded([&] { ds->Delete(); });
}

void DataGrid::showFailure(const QString& message)
{
    UiServices::current().showError(this, message);
}

void DataGrid::followDataSet()
{
    DataSet* ds = dataSet();
    if (!ds || m_following)
        return;
    const int row = ds->RecNo();
    if (row < 0)
        return;
    const int column = currentIndex().isValid() ? currentIndex().column() : 0;
    m_following = true;
    setCurrentIndex(m_model.index(row, column));
    scrollTo(m_model.index(row, column));
    m_following = false;
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    DataSet* ds = dataSet();
    if (m_following || !ds || !ds->Active() || !current.isValid() || current.row() == ds->RecNo())
        return;
    try {
        ds->moveTo(current.row()); // posts the row left
    } catch (...) {
        showException(std::current_exception());
    }
    // The cursor is wherever the dataset stands now, also after a failed post.
    if (ds->RecNo() != current.row()) {
        m_following = true;
        setCurrentIndex(m_model.index(ds->RecNo(), current.column()));
        m_following = false;
    }
}

void DataGrid::enterPressed(bool fromEditor)
{
    DataSet* ds = dataSet();
    const int row = ds ? ds->RecNo() : -1;
    const int column = selectedColumn();
    QChar key = QLatin1Char('\r');
    if (keyPress)
        runGuarded([&] { keyPress(key); });
    const bool moved = !ds || ds->RecNo() != row || selectedColumn() != column;
    // The grid's own answer to Enter: it opens the cell editor; Enter in
    // the editor has already closed it.
    if (!fromEditor && !key.isNull() && !moved && currentIndex().isValid())
        edit(currentIndex());
}

bool DataGrid::editorKey(QWidget* editor, QKeyEvent* event)
{
    if (keyDown) {
        int key = event->key();
        runGuarded([&] { keyDown(key, event->modifiers()); });
        if (key == 0)
            return true;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_commitFailed = false;
        m_delegate->commitAndClose(editor, QAbstractItemDelegate::NoHint);
        setFocus();
        // A text the row refused was shown as an error; the Enter that
        // ended it is not passed on as if the row's old value were meant.
        if (!m_commitFailed)
            enterPressed(true);
        return true;
    case Qt::Key_Escape:
        m_delegate->commitAndClose(editor, QAbstractItemDelegate::RevertModelCache);
        setFocus();
        if (DataSet* ds = dataSet(); ds && ds->state() != DataSet::State::Browse)
            runGuarded([&] { ds->Cancel(); });
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (qobject_cast<QComboBox*>(editor))
            return false; // the pick list's own choice keys
        m_delegate->commitAndClose(editor, QAbstractItemDelegate::NoHint);
        setFocus();
        QTableView::keyPressEvent(event);
        return true;
    default:
        break;
    }
    if (!event->text().isEmpty() && event->text()[0].isPrint() && keyPress) {
        QChar key = event->text()[0];
        runGuarded([&] { keyPress(key); });
        if (key.isNull())
            return true;
    }
    return false;
}

bool DataGrid::event(QEvent* event)
{
    // Tab reaches a widget before its key handler, as a move of the focus;
    // the user's Tab goes to keyDown here, once.
    if (event->type() == QEvent::KeyPress && keyDown) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            int code = key->key();
            runGuarded([&] { keyDown(code, key->modifiers()); });
            if (code == 0)
                return true;
        }
    }
    return QTableView::event(event);
}

bool DataGrid::focusNextPrevChild(bool next)
{
    // Qt moves the focus inside an item view by sending it a Tab of its own
    // (when a cell editor goes away, for one); that is no key of the user's.
    m_movingFocus = true;
    const bool moved = QTableView::focusNextPrevChild(next);
    m_movingFocus = false;
    return moved;
}

void DataGrid::keyPressEvent(QKeyEvent* event)
{
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (keyDown && !m_movingFocus && !tab) {
        int key = event->key();
        runGuarded([&] { keyDown(key, event->modifiers()); });
        if (key == 0)
            return;
    }
    DataSet* ds = dataSet();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enterPressed(false);
        return;
    case Qt::Key_Escape:
        if (ds && ds->Active() && ds->state() != DataSet::State::Browse)
            runGuarded([&] { ds->Cancel(); });
        return;
    case Qt::Key_Delete:
        if (event->modifiers() & Qt::ControlModifier) {
            deleteCurrentRow();
            return;
        }
        break;
    default:
        break;
    }
    const QString text = event->text();
    const bool printable = !text.isEmpty() && text[0].isPrint() && !(event->modifiers() & Qt::ControlModifier);
    if (printable && currentIndex().isValid() && (m_model.flags(currentIndex()) & Qt::ItemIsEditable)) {
        // The grid opens the cell editor and passes it the key, which the
        // editor hands to keyPress.
        QTableView::keyPressEvent(event);
        return;
    }
    if (printable && keyPress) {
        QChar key = text[0];
        runGuarded([&] { keyPress(key); });
        return;
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (dblClick)
        runGuarded([&] { dblClick(); });
}
