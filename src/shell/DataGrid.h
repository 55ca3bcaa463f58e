#pragma once

#include "shell/DataSetModel.h"

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>

#include <functional>
#include <optional>

class DataSet;
class GridDelegate;
class QLineEdit;

// The data grid over a dataset, shared by every window: in-place editing,
// titles, a row indicator, resizable columns, a selection that stays
// visible, and "Delete record?" before a row is deleted.
//
// What a key does depends on whether a cell editor is open; keyAction says
// it in one place:
// - browsing: a character opens the editor of the current cell (of the
//   entry column, when the window named one) with the character in it;
//   Enter opens the editor; F2 opens it with the cell's text; Escape
//   abandons the row's edit; Ctrl+Delete deletes the row after asking;
//   arrows, Tab and the rest move as in any table;
// - editing: Enter writes the text into the row and closes the editor (in
//   a grid that stores rows on Enter, it then stores the row, as a
//   spreadsheet does; a row that cannot be stored stays in editing and the
//   error says why);
//   Up, Down, PageUp and PageDown write it and move; Escape closes it
//   without writing and abandons the row's edit;
// - after a refusal (the row refused the editor's text): the refusal is
//   answered and the key that ended the text goes no further.
// Moving to another row posts the row left. A cell editor takes no more
// characters than its text column holds, and a hint beside it says so when
// one more is typed.
//
// Handlers, in the way the windows bind them:
// - drawColumnCell may choose a cell's background; text, alignment and font
//   colour stay as the grid chose them, also for the selected cell;
// - titleClick gets the clicked column;
// - keyDown gets every key pressed in the grid or its cell editor (Qt key
//   codes), Tab included, before the grid acts on it; setting 0 swallows it;
// - keyPress gets every character typed in the grid or its cell editor
//   (Enter as '\r'); for Enter it runs after the edit was written into the
//   row. Setting the character to 0 swallows it;
// - dblClick runs on a double-click in the cells;
// - editRefused gets the column, the text and the reason when the row
//   refuses what a cell editor held; true means the window answered it,
//   false leaves it to the standard error box.
class DataGrid : public QTableView {
    Q_OBJECT

public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    void setDataSet(DataSet* dataSet, const QList<GridColumn>& columns);
    DataSet* dataSet() const { return m_model.dataSet(); }
    DataSetModel& gridModel() { return m_model; }

    int columnCount() const { return int(m_model.columns().size()); }
    QString columnTitle(int column) const;
    void setColumnTitle(int column, const QString& title);
    bool columnTitleBold(int column) const;
    void setColumnTitleBold(int column, bool bold);
    int columnOf(const QByteArray& field) const; // -1 when the grid has none

    // The column that has the cursor.
    int selectedColumn() const;
    QByteArray selectedField() const;
    void setSelectedField(const QByteArray& field);

    // The column that characters typed while no cell editor is open go to,
    // in the current row; empty (the default): the current cell.
    void setEntryField(const QByteArray& field) { m_entryField = field; }

    // The main window's pages store a row on Enter; the race details window
    // leaves Enter to its scanning rules.
    void setEnterStoresRow(bool on) { m_enterStoresRow = on; }

    bool isEditing() const;
    // Writes the open cell editor's text into the row and closes the
    // editor. False when the row refused the text; the refusal has then
    // been answered. True when no editor was open.
    bool writeCellEditor();
    // Writes the open cell editor's text into the row and closes the
    // editor; a text the row refuses stays in the open editor for
    // correction and the refusal's reason is returned, not answered. Empty
    // when written or when no editor was open.
    QString storeCellEditor();
    // Closes the open cell editor without writing its text.
    void discardCellEditor();

    // The value of a field in a given row, for cell-painting handlers.
    QVariant cellValue(int row, const QByteArray& field) const;

    // Asks "Delete record?"; on OK deletes the dataset's current row.
    // Engine errors go to the standard error box.
    void deleteCurrentRow();

    std::function<std::optional<QColor>(int row, int column)> drawColumnCell;
    std::function<void(int column)> titleClick;
    std::function<void(QChar& key)> keyPress;
    std::function<void(int& key, Qt::KeyboardModifiers modifiers)> keyDown;
    std::function<void()> dblClick;
    std::function<bool(int column, const QString& text, const QString& reason)> editRefused;

protected:
    bool event(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool focusNextPrevChild(bool next) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class GridDelegate;

    // A text the row refused, answered once its editor is gone.
    struct Refusal {
        int column;
        QString text;
        QString reason;
    };

    // Every key the user presses in the grid or its cell editor; true when
    // the key was taken care of.
    bool keyAction(QKeyEvent* event);
    bool browsingKey(QKeyEvent* event);
    bool editingKey(QKeyEvent* event);
    // A character typed while browsing opens the cell editor with it.
    void typeIntoCell(QChar key);
    // keyPress for Enter; while browsing the grid then opens the editor.
    void enterPressed(bool browsing);
    void cancelRowEdit();
    void answer(const Refusal& refusal);
    void followDataSet();
    void showFailure(const QString& message);
    void showLengthHint(QLineEdit* editor, int column);

    DataSetModel m_model;
    GridDelegate* m_delegate = nullptr;
    QPointer<QWidget> m_editor;
    QPersistentModelIndex m_editorIndex;
    std::optional<Refusal> m_refusal;
    QByteArray m_entryField;
    bool m_following = false;
    bool m_enterStoresRow = false;
};
