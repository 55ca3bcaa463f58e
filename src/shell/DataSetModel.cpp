#include "shell/DataSetModel.h"

#include "store/DataSet.h"
#include "store/DateTime.h"
#include "store/Exception.h"
#include "store/Miscl.h"

#include <QFont>

namespace {

// How the grids show a date and time, and read one typed that way.
const QString shownDate = QStringLiteral("dd/MM/yyyy");
const QString shownTime = QStringLiteral("HH:mm");
const QString shownDateTime = shownDate + QLatin1Char(' ') + shownTime;

} // namespace

DataSetModel::DataSetModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void DataSetModel::setDataSet(DataSet* dataSet, const QList<GridColumn>& columns)
{
    beginResetModel();
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    m_columns = columns;
    m_fields.clear();
    for (const GridColumn& c : m_columns)
        m_fields << (m_dataSet ? m_dataSet->fieldIndex(c.field) : -1);
    if (m_dataSet) {
        connect(m_dataSet, &DataSet::rowsReset, this, &DataSetModel::reset);
        connect(m_dataSet, &DataSet::rowInserted, this, &DataSetModel::reset);
        connect(m_dataSet, &DataSet::rowRemoved, this, &DataSetModel::reset);
        connect(m_dataSet, &DataSet::rowChanged, this, [this](int row) {
            if (row >= 0 && row < rowCount())
                emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            emit headerDataChanged(Qt::Vertical, row, row);
        });
        connect(m_dataSet, &DataSet::stateChanged, this, [this] {
            if (const int row = m_dataSet->RecNo(); row >= 0 && row < rowCount())
                emit headerDataChanged(Qt::Vertical, row, row);
        });
        connect(m_dataSet, &DataSet::currentRowChanged, this, [this](int row) {
            // The row indicator follows the cursor.
            const int old = m_indicatorRow;
            m_indicatorRow = row;
            if (old >= 0 && old < rowCount())
                emit headerDataChanged(Qt::Vertical, old, old);
            if (row >= 0 && row < rowCount())
                emit headerDataChanged(Qt::Vertical, row, row);
        });
    }
    endResetModel();
}

void DataSetModel::reset()
{
    beginResetModel();
    endResetModel();
}

int DataSetModel::fieldOf(int column) const
{
    return column >= 0 && column < m_fields.size() ? m_fields[column] : -1;
}

void DataSetModel::columnHeaderChanged(int column)
{
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int DataSetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_dataSet || !m_dataSet->Active())
        return 0;
    return m_dataSet->RecordCount();
}

int DataSetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString DataSetModel::displayText(const QVariant& value, int kind)
{
    if (value.isNull())
        return {};
    switch (FieldKind(kind)) {
    case FieldKind::Float:
        return QString::fromUtf8(Miscl::floatText(value.toDouble()));
    case FieldKind::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldKind::DateTime:
        return DayCount::toDateTime(value.toDouble()).toString(shownDateTime);
    default:
        if (value.metaType().id() == QMetaType::QByteArray)
            return QString::fromUtf8(value.toByteArray());
        return value.toString();
    }
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_dataSet)
        return {};
    const GridColumn& column = m_columns[index.column()];
    const int field = m_fields[index.column()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (field < 0)
            return {};
        try {
            return displayText(m_dataSet->value(index.row(), field), int(m_dataSet->fields()[field].kind));
        } catch (const Exception& e) {
            return e.message();
        }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    case Qt::FontRole:
        if (column.bold) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    case Qt::BackgroundRole:
        return column.background.isValid() ? QVariant(column.background) : QVariant();
    default:
        return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        if (role == Qt::DisplayRole)
            return m_columns[section].title;
        if (role == Qt::FontRole && m_columns[section].titleBold) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return {};
    }
    if (role != Qt::DisplayRole)
        return {};
    if (!m_dataSet || section != m_dataSet->RecNo())
        return QString();
    // The row indicator: the current row, and whether it is being edited
    // or inserted.
    switch (m_dataSet->state()) {
    case DataSet::State::Edit:
        return QStringLiteral("I");
    case DataSet::State::Insert:
        return QStringLiteral("*");
    default:
        return QStringLiteral("\u25B6");
    }
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int field = m_fields[index.column()];
    if (field >= 0 && !m_columns[index.column()].readOnly && !m_dataSet->fields()[field].lookup
        && !m_dataSet->isKey(field))
        f |= Qt::ItemIsEditable;
    return f;
}

bool DataSetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !m_dataSet)
        return false;
    const int field = m_fields[index.column()];
    if (field < 0)
        return false;
    try {
        if (index.row() != m_dataSet->RecNo())
            m_dataSet->moveTo(index.row());
        // An unchanged text leaves the row as it is.
        const QString shown = displayText(m_dataSet->value(index.row(), field), int(m_dataSet->fields()[field].kind));
        if (value.toString() == shown && m_dataSet->state() == DataSet::State::Browse)
            return true;
        m_dataSet->setFieldValue(field, typedValue(value, int(m_dataSet->fields()[field].kind)));
        return true;
    } catch (const Exception& e) {
        m_error = e.message();
    } catch (const std::exception& e) {
        m_error = QString::fromUtf8(e.what());
    }
    return false;
}

QVariant DataSetModel::typedValue(const QVariant& typed, int kind)
{
    // A date and time typed as the grid shows it; any other text goes to
    // the dataset, which reads the stored form.
    if (FieldKind(kind) == FieldKind::DateTime) {
        // Date and time read apart: a clock reading in a daylight-saving
        // gap is still the time the official typed.
        const QString text = typed.toString().trimmed();
        const QDate date = QDate::fromString(text.section(QLatin1Char(' '), 0, 0), shownDate);
        const QTime time = QTime::fromString(text.section(QLatin1Char(' '), 1), shownTime);
        if (date.isValid() && time.isValid())
            return DayCount::fromDateTime(date, time);
    }
    return typed;
}

QString DataSetModel::takeError()
{
    return std::exchange(m_error, QString());
}
