#pragma once

#include "store/Field.h"
#include "store/Filter.h"
#include "store/Schema.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVector>

#include <optional>

class Database;

// A read-only field whose value comes from another table: the value of
// resultField in the first row of lookupTable whose lookupKeyFields equal
// this row's keyFields (names joined by ";"). A key field may itself be a
// lookup field declared before. Null when no row matches.
struct LookupFieldDef {
    QByteArray name;
    FieldKind kind;
    QByteArray keyFields;
    QByteArray lookupTable;
    QByteArray lookupKeyFields;
    QByteArray resultField;
};

struct DataSetField {
    QByteArray name;
    FieldKind kind;
    bool lookup = false;
};

// A table of the data store with a current row: the dataset the grids are
// bound to. Sorting and filtering are done by the engine: the named index
// gives the ORDER BY, the filter the WHERE. The dataset holds only the row
// identities in order and fetches the rows it is asked for, so a table of
// any size opens at once.
//
// Editing follows the grid's way of working: setting a field puts the row
// into editing, moving to another row posts it, Cancel abandons an edit or
// an inserted row; the whole lifecycle is described in DataSetEditing.cpp.
// Rows are addressed by their table's identity, which no later insert can
// take (TableDef::identity). Failures raise exceptions; the dataset opens no
// dialog.
class DataSet : public QObject, public FieldSource {
    Q_OBJECT

public:
    enum class State { Inactive, Browse, Edit, Insert };

    DataSet(Database& database, const QByteArray& tableName, QObject* parent = nullptr);
    ~DataSet() override;

    const QByteArray& tableName() const { return m_table.name; }
    Database& database() { return m_database; }

    // Lookup fields are declared before the dataset opens.
    void addLookupField(const LookupFieldDef& lookup);

    const QList<DataSetField>& fields() const { return m_fields; }
    int fieldIndex(const QByteArray& name) const; // -1 when unknown
    // Whether the field is a key the system draws, never typed by an
    // official: the table's identity and the race key (race_id_pk, in races
    // and in the result rows that refer to their race). A grid never edits
    // one: a stray scan into it would part a race from its results.
    bool isKey(int field) const;
    // The characters a text field holds at most; 0 when unbounded or not a
    // text field.
    int textSize(int field) const;

    void Open();
    // Ends the row in editing first; a failing post raises and keeps it open.
    void Close();
    bool Active() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    // Moving posts a row in editing first; a failing post leaves the cursor.
    void First();
    void Next();
    void Prior();
    void Last();
    void moveTo(int row);
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool IsEmpty() const { return m_keys.isEmpty(); }
    int RecNo() const { return m_current; } // 0-based; -1 when empty
    int RecordCount() const { return int(m_keys.size()); }

    // Re-reads the rows, keeping the current row where it still exists.
    void Refresh();

    // The named index of the schema that orders the rows; empty: the
    // table's natural order.
    void setIndexName(const QByteArray& name);
    const QByteArray& IndexName() const { return m_indexName; }

    // The filter is parsed when it takes effect; a bad expression raises
    // EFilterError and leaves filter and rows as they were. Switching
    // filtering on, or changing the filter while on, goes to the first row.
    void setFilter(const QString& expression);
    const QString& Filter() const { return m_filterText; }
    void setFiltered(bool on);
    bool Filtered() const { return m_filtered; }
    void setCaseInsensitive(bool on);
    bool caseInsensitive() const { return m_caseInsensitive; }

    // Move to the first or next row satisfying the filter text, even while
    // filtering is off; report whether one was found.
    bool FindFirst();
    bool FindNext();

    // The current row's field; a field of an empty dataset reads null.
    Field FieldByName(const QByteArray& name) const override;
    // Any row's value, for views; the row in editing shows its edits.
    QVariant value(int row, int field) const;

    void Edit();
    // Converts text by the field's kind (an empty text is null); raises
    // EConvertError for text that does not convert, EDatabaseError for a
    // lookup field or an unknown name.
    void setFieldValue(const QByteArray& name, const QVariant& value);
    void setFieldValue(int field, const QVariant& value);
    void Post();
    void Cancel();
    // Ends the row in editing: posts it when a field was changed, cancels it
    // (an untouched inserted row goes) when not. A failing post raises and
    // keeps the edit; a post that changes no row raises "Row was changed or
    // deleted since it was read". Every move, refresh, filter, index change,
    // insert and close goes through here.
    void CheckBrowseMode();
    // An empty row before the current one, or after the last, in editing.
    void Insert();
    void Append();
    void Delete();
    bool Modified() const { return !m_changed.isEmpty(); }

signals:
    // The rows were read again (open, refresh, filter, index).
    void rowsReset();
    void rowChanged(int row);
    void rowInserted(int row);
    void rowRemoved(int row);
    void currentRowChanged(int row);
    void stateChanged();

private:
    using Row = QVector<QVariant>;

    void requireActive() const;
    void readKeys();
    QString orderBy() const;
    QString selectList() const;
    QString lookupExpression(int field, int& aliasCounter) const;
    QString keyExpression(const QByteArray& name, int& aliasCounter) const;
    std::optional<FilterCondition> conditionFor(const QString& text) const;
    const Row& fetch(int row) const;
    void setCurrent(int row);
    void forgetRows() const;
    QVariant converted(int field, const QVariant& value) const;
    bool findFrom(int start);
    void setState(State state);
    void insertAt(int row);
    void postEdit();
    void postInsert();
    void requireRaceKeptForItsResults() const;
    void execOrThrow(QSqlQuery& q) const;

    Database& m_database;
    const TableDef& m_table;
    QList<DataSetField> m_fields;
    QList<LookupFieldDef> m_lookups;

    State m_state = State::Inactive;
    QByteArray m_indexName;
    QString m_filterText;
    std::optional<FilterCondition> m_condition; // in force while filtered
    bool m_filtered = false;
    bool m_caseInsensitive = false;

    QVector<qint64> m_keys; // row identities in order; 0 marks an inserted row
    int m_current = -1;
    bool m_eof = true;
    bool m_bof = true;

    Row m_editRow;
    QList<int> m_changed;

    mutable QHash<qint64, Row> m_cache;
    mutable std::optional<QSqlQuery> m_fetchQuery;
    // The connection the fetch query was prepared on.
    mutable int m_fetchGeneration = 0;
};
