#include "shell/DataGrid.h"

#include "shell/Application.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

namespace {

// The character a key types; none for keys that type nothing and for
// Ctrl combinations.
QChar typedCharacter(const QKeyEvent* event)
{
    const QString text = event->text();
    if (text.isEmpty() || !text[0].isPrint() || (event->modifiers() & Qt::ControlModifier))
        return {};
    return text[0];
}

} // namespace

// Paints cells with the background a handler chose, writes an editor's
// text into the row (keeping a refusal for the grid to answer), and hands
// the keys typed into a cell editor to the grid first.
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
        QWidget* editor = nullptr;
        if (!column.pickList.isEmpty()) {
            auto* box = new QComboBox(parent);
            box->addItems(column.pickList);
            box->setFont(m_grid->font());
            editor = box;
        } else {
            editor = QStyledItemDelegate::createEditor(parent, option, index);
            if (auto* line = qobject_cast<QLineEdit*>(editor)) {
                line->setAlignment(column.alignment);
                // What an official types is bound by the column's width; the
                // timer unit's texts are not, so the store cannot be the guard.
                if (const int size = m_grid->dataSet()->textSize(m_grid->m_model.fieldOf(index.column())); size > 0) {
                    line->setMaxLength(size);
                    const int at = index.column();
                    QObject::connect(line, &QLineEdit::inputRejected, m_grid,
                                     [grid = m_grid, line, at] { grid->showLengthHint(line, at); });
                }
            }
        }
        m_grid->m_editor = editor;
        m_grid->m_editorIndex = index;
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
        QString text;
        if (auto* box = qobject_cast<QComboBox*>(editor))
            text = box->currentText();
        else if (auto* line = qobject_cast<QLineEdit*>(editor))
            text = line->text();
        else
            return QStyledItemDelegate::setModelData(editor, model, index);
        // The refusal is answered when the editor has closed: the answer may
        // move the cursor, which an open editor would take as a commit.
        if (!model->setData(index, text, Qt::EditRole))
            m_grid->m_refusal = DataGrid::Refusal{index.column(), text, m_grid->m_model.takeError()};
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

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && object == m_grid->m_editor
            && m_grid->keyAction(static_cast<QKeyEvent*>(event)))
            return true;
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

bool DataGrid::isEditing() const
{
    return m_editor && state() == QAbstractItemView::EditingState;
}

bool DataGrid::writeCellEditor()
{
    if (!isEditing())
        return true;
    QWidget* editor = m_editor;
    m_delegate->setModelData(editor, &m_model, m_editorIndex);
    const bool written = !m_refusal;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return written;
}

QString DataGrid::storeCellEditor()
{
    if (!isEditing())
        return {};
    QWidget* editor = m_editor;
    m_delegate->setModelData(editor, &m_model, m_editorIndex);
    if (m_refusal) {
        const Refusal refusal = *std::exchange(m_refusal, std::nullopt);
        return refusal.reason.isEmpty()
                   ? QStringLiteral("'%1' cannot be stored in %2.").arg(refusal.text, columnTitle(refusal.column))
                   : refusal.reason;
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return {};
}

void DataGrid::showLengthHint(QLineEdit* editor, int column)
{
    const int size = editor->maxLength();
    QToolTip::showText(editor->mapToGlobal(QPoint(0, editor->height())),
                       QStringLiteral("%1 holds at most %2 character%3")
                           .arg(columnTitle(column))
                           .arg(size)
                           .arg(size == 1 ? QString() : QStringLiteral("s")),
                       editor);
}

void DataGrid::discardCellEditor()
{
    if (isEditing())
        closeEditor(m_editor, QAbstractItemDelegate::RevertModelCache);
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    if (editor == m_editor)
        m_editor = nullptr;
    if (m_refusal)
        answer(*std::exchange(m_refusal, std::nullopt));
}

void DataGrid::answer(const Refusal& refusal)
{
    bool answered = false;
    if (editRefused && !runGuarded([&] { answered = editRefused(refusal.column, refusal.text, refusal.reason); }))
        return;
    if (!answered && !refusal.reason.isEmpty())
        showFailure(refusal.reason);
}

bool DataGrid::event(QEvent* event)
{
    // Keys reach the grid here before Qt would turn a Tab into a move of
    // the focus.
    if (event->type() == QEvent::KeyPress && keyAction(static_cast<QKeyEvent*>(event)))
        return true;
    return QTableView::event(event);
}

bool DataGrid::keyAction(QKeyEvent* event)
{
    if (keyDown) {
        int key = event->key();
        runGuarded([&] { keyDown(key, event->modifiers()); });
        if (key == 0)
            return true;
    }
    return isEditing() ? editingKey(event) : browsingKey(event);
}

bool DataGrid::browsingKey(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enterPressed(true);
        return true;
    case Qt::Key_Escape:
        cancelRowEdit();
        return true;
    case Qt::Key_Delete:
        if (event->modifiers() & Qt::ControlModifier) {
            deleteCurrentRow();
            return true;
        }
        break;
    default:
        break;
    }
    if (const QChar key = typedCharacter(event); !key.isNull()) {
        typeIntoCell(key);
        return true;
    }
    return false; // moves, F2 and Tab: the table's own
}

bool DataGrid::editingKey(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!writeCellEditor())
            return true;
        // A row that cannot be stored stays in editing; the error says why.
        if (m_enterStoresRow && dataSet() && dataSet()->Active()
            && !runGuarded([this] { dataSet()->CheckBrowseMode(); }))
            return true;
        enterPressed(false);
        return true;
    case Qt::Key_Escape:
        discardCellEditor();
        cancelRowEdit();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (qobject_cast<QComboBox*>(m_editor))
            return false; // the pick list's own choice keys
        if (writeCellEditor())
            QTableView::keyPressEvent(event);
        return true;
    default:
        break;
    }
    if (QChar key = typedCharacter(event); !key.isNull() && keyPress) {
        runGuarded([&] { keyPress(key); });
        return key.isNull();
    }
    return false; // the editor's own
}

void DataGrid::typeIntoCell(QChar key)
{
    if (!m_entryField.isEmpty())
        setSelectedField(m_entryField);
    if (keyPress) {
        runGuarded([&] { keyPress(key); });
        if (key.isNull())
            return;
    }
    const QModelIndex cell = currentIndex();
    if (!cell.isValid() || !(m_model.flags(cell) & Qt::ItemIsEditable)
        || !edit(cell, QAbstractItemView::EditKeyPressed, nullptr) || !m_editor)
        return;
    // The character replaces the cell's text; in a pick list it chooses the
    // first choice that begins with it.
    if (auto* line = qobject_cast<QLineEdit*>(m_editor)) {
        line->setText(QString(key));
    } else if (auto* box = qobject_cast<QComboBox*>(m_editor)) {
        if (const int i = box->findText(QString(key), Qt::MatchStartsWith); i >= 0)
            box->setCurrentIndex(i);
    }
}

void DataGrid::enterPressed(bool browsing)
{
    DataSet* ds = dataSet();
    const int row = ds ? ds->RecNo() : -1;
    const int column = selectedColumn();
    QChar key = QLatin1Char('\r');
    if (keyPress)
        runGuarded([&] { keyPress(key); });
    const bool moved = !ds || ds->RecNo() != row || selectedColumn() != column;
    // The grid's own answer to Enter while browsing: it opens the cell
    // editor.
    if (browsing && !key.isNull() && !moved && currentIndex().isValid()
        && (m_model.flags(currentIndex()) & Qt::ItemIsEditable))
        edit(currentIndex());
}

void DataGrid::cancelRowEdit()
{
    if (DataSet* ds = dataSet(); ds && ds->Active() && ds->state() != DataSet::State::Browse)
        runGuarded([&] { ds->Cancel(); });
}

bool DataGrid::focusNextPrevChild(bool next)
{
    // A cell editor that goes away while it has the focus hands the focus
    // on as if Tab were pressed, which a table takes as a move to the next
    // column. The focus stays with the grid, the cursor where it is.
    if (const QWidget* focus = QApplication::focusWidget(); focus && focus != this && isAncestorOf(focus)) {
        setFocus();
        return true;
    }
    return QTableView::focusNextPrevChild(next);
}

void DataGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    if (dblClick)
        runGuarded([&] { dblClick(); });
}
