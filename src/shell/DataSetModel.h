#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QColor>
#include <QStringList>

class DataSet;

// One column of a data grid: the dataset field it shows and how.
struct GridColumn {
    QByteArray field;
    QString title;
    int width = 0; // pixels; 0 leaves the grid's default
    Qt::Alignment alignment = Qt::AlignLeft;
    QStringList pickList; // choices offered by the cell editor
    bool readOnly = false;
    QColor background; // invalid: the grid's ordinary background
    bool bold = false;
    bool titleBold = false;
};

// The rows of a dataset as a table model for a grid. Writing a cell moves
// the dataset to the row (which posts the row left) and sets the field. The
// model opens no dialog: a failure is kept for the grid to show.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit DataSetModel(QObject* parent = nullptr);

    void setDataSet(DataSet* dataSet, const QList<GridColumn>& columns);
    DataSet* dataSet() const { return m_dataSet; }
    const QList<GridColumn>& columns() const { return m_columns; }
    GridColumn& column(int i) { return m_columns[i]; }
    int fieldOf(int column) const; // the dataset's field index, -1 when unknown
    void columnHeaderChanged(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The failure of the last setData, and forgets it.
    QString takeError();

    // A field's value as the grid shows it: numbers in the general format,
    // flags as True or False, date-times as dd/mm/yyyy hh:mm.
    static QString displayText(const QVariant& value, int kind);

private:
    void reset();
    static QVariant typedValue(const QVariant& typed, int kind);

    DataSet* m_dataSet = nullptr;
    QList<GridColumn> m_columns;
    QList<int> m_fields;
    QString m_error;
    int m_indicatorRow = -1;
};
