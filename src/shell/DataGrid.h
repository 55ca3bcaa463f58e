#pragma once

#include "shell/DataSetModel.h"

#include <QTableView>

#include <functional>
#include <optional>

class DataSet;
class GridDelegate;

// The data grid over a dataset, shared by every window: in-place editing
// (typing a character opens the cell editor with it, Enter writes the edit
// into the row, moving to another row posts it, Escape abandons an edit or
// an inserted row), titles, a row indicator, resizable columns, a selection
// that stays visible, and "Delete record?" before a row is deleted.
//
// Handlers, in the way the windows bind them:
// - drawColumnCell may choose a cell's background; text, alignment and font
//   colour stay as the grid chose them, also for the selected cell;
// - titleClick gets the clicked column;
// - keyPress gets every character typed in the grid or its cell editor
//   (Enter as '\r'); for Enter it runs after the edit was written into the
//   row. Setting the character to 0 swallows it;
// - keyDown gets the keys pressed (Qt key codes); setting 0 swallows it;
// - dblClick runs on a double-click in the cells.
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

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;

private:
    friend class GridDelegate;

    // Called by the cell editor; true when the key was taken care of.
    bool editorKey(QWidget* editor, QKeyEvent* event);
    void enterPressed(bool fromEditor);
    void followDataSet();
    void showFailure(const QString& message);

    DataSetModel m_model;
    GridDelegate* m_delegate = nullptr;
    bool m_following = false;
    bool m_commitFailed = false; // the last edit written into the row was refused
    bool m_movingFocus = false;  // Qt moves the focus by a Tab of its own
};
