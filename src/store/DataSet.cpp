#include "store/DataSet.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"
#include "store/Miscl.h"

#include <QSet>
#include <QSqlError>

#include <algorithm>

namespace {

// Rows fetched for views are kept until this many are held, then dropped
// all at once: a grid shows a few dozen at a time.
constexpr int cacheLimit = 4096;

QList<QByteArray> splitNames(const QByteArray& names)
{
    QList<QByteArray> out;
    for (const QByteArray& n : names.split(';'))
        if (const QByteArray t = n.trimmed(); !t.isEmpty())
            out << t;
    return out;
}

void bindAll(QSqlQuery& q, const QVariantList& values)
{
    for (const QVariant& v : values)
        q.addBindValue(v);
}

} // namespace

void DataSet::execOrThrow(QSqlQuery& q) const
{
    if (!q.exec())
        m_database.raise(q.lastError());
}

DataSet::DataSet(Database& database, const QByteArray& tableName, QObject* parent)
    : QObject(parent)
    , m_database(database)
    , m_table(Schema::table(tableName))
{
    for (const ColumnDef& c : m_table.columns)
        m_fields << DataSetField{c.name, c.kind, false};
}

DataSet::~DataSet() = default;

void DataSet::addLookupField(const LookupFieldDef& lookup)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Lookup fields are declared before the dataset opens"));
    const TableDef& source = Schema::table(lookup.lookupTable);
    const QList<QByteArray> keys = splitNames(lookup.keyFields);
    const QList<QByteArray> lookupKeys = splitNames(lookup.lookupKeyFields);
    if (keys.isEmpty() || keys.size() != lookupKeys.size())
        throw EDatabaseError(QStringLiteral("Lookup field '%1' needs as many key fields as lookup key fields")
                                 .arg(QString::fromUtf8(lookup.name)));
    for (const QByteArray& k : keys)
        if (fieldIndex(k) < 0)
            throw EDatabaseError(QStringLiteral("Lookup field '%1': no field '%2'")
                                     .arg(QString::fromUtf8(lookup.name), QString::fromUtf8(k)));
    for (const QByteArray& k : lookupKeys + QList<QByteArray>{lookup.resultField})
        if (!source.column(k))
            throw EDatabaseError(QStringLiteral("Lookup field '%1': table %2 has no column '%3'")
                                     .arg(QString::fromUtf8(lookup.name), QString::fromUtf8(source.name),
                                          QString::fromUtf8(k)));
    m_lookups << lookup;
    m_fields << DataSetField{lookup.name, lookup.kind, true};
}

bool DataSet::isKey(int field) const
{
    if (field < 0 || field >= m_fields.size() || m_fields[field].lookup)
        return false;
    const QByteArray& name = m_fields[field].name;
    return m_fields[field].kind == FieldKind::AutoIncrement || name == m_table.identity() || name == "race_id_pk";
}

int DataSet::textSize(int field) const
{
    if (field < 0 || field >= m_fields.size() || m_fields[field].lookup)
        return 0;
    const ColumnDef* column = m_table.column(m_fields[field].name);
    return column && column->kind == FieldKind::Text ? column->size : 0;
}

int DataSet::fieldIndex(const QByteArray& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void DataSet::requireActive() const
{
    if (!Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset (%1)")
                                 .arg(QString::fromUtf8(m_table.name)));
}

void DataSet::Open()
{
    if (Active())
        return;
    if (m_filtered)
        m_condition = conditionFor(m_filterText);
    m_state = State::Browse;
    try {
        readKeys();
    } catch (...) {
        m_state = State::Inactive;
        throw;
    }
    setCurrent(m_keys.isEmpty() ? -1 : 0);
    m_bof = true;
    emit rowsReset();
    emit stateChanged();
}

void DataSet::Close()
{
    if (!Active())
        return;
    CheckBrowseMode();
    m_keys.clear();
    m_editRow.clear();
    m_changed.clear();
    forgetRows();
    m_fetchQuery.reset();
    m_current = -1;
    m_eof = m_bof = true;
    m_state = State::Inactive;
    emit rowsReset();
    emit stateChanged();
}

QString DataSet::orderBy() const
{
    QStringList terms;
    if (const IndexDef* index = m_table.index(m_indexName)) {
        for (const QByteArray& c : index->columns) {
            const ColumnDef* col = m_table.column(c);
            QString term = QStringLiteral("t.") + SqlDialect::quoteName(c);
            // Names typed by officials sort as a person expects, whatever
            // their case.
            if (col && col->kind == FieldKind::Text)
                term = SqlDialect::caseFolded(term);
            terms << term;
        }
    }
    terms << QStringLiteral("t.") + SqlDialect::rowIdentity(m_table);
    return terms.join(QStringLiteral(", "));
}

std::optional<FilterCondition> DataSet::conditionFor(const QString& text) const
{
    QList<FilterField> fields;
    for (const ColumnDef& c : m_table.columns)
        fields << FilterField{c.name, c.kind};
    FilterCondition condition = parseFilter(text, fields, m_caseInsensitive);
    if (condition.sql.isEmpty())
        return std::nullopt;
    return condition;
}

void DataSet::readKeys()
{
    QString sql = QStringLiteral("SELECT t.%1 FROM %2 t").arg(SqlDialect::rowIdentity(m_table), SqlDialect::quoteName(m_table.name));
    if (m_filtered && m_condition)
        sql += QStringLiteral(" WHERE ") + m_condition->sql;
    sql += QStringLiteral(" ORDER BY ") + orderBy();

    QSqlQuery q(m_database.connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        m_database.raise(q.lastError());
    if (m_filtered && m_condition)
        bindAll(q, m_condition->values);
    execOrThrow(q);
    QVector<qint64> keys;
    while (q.next())
        keys << q.value(0).toLongLong();
    m_keys = std::move(keys);
    forgetRows();
}

QString DataSet::keyExpression(const QByteArray& name, int& aliasCounter) const
{
    const int i = fieldIndex(name);
    if (i >= 0 && m_fields[i].lookup)
        return lookupExpression(i, aliasCounter);
    return QStringLiteral("t.") + SqlDialect::quoteName(m_fields[i].name);
}

QString DataSet::lookupExpression(int field, int& aliasCounter) const
{
    const LookupFieldDef& lookup = m_lookups[field - m_table.columns.size()];
    const QString alias = QStringLiteral("lk%1").arg(++aliasCounter);
    const QList<QByteArray> keys = splitNames(lookup.keyFields);
    const QList<QByteArray> lookupKeys = splitNames(lookup.lookupKeyFields);
    QStringList match;
    for (int k = 0; k < keys.size(); ++k)
        match << QStringLiteral("%1.%2 = %3")
                     .arg(alias, SqlDialect::quoteName(lookupKeys[k]), keyExpression(keys[k], aliasCounter));
    // The first matching row, so that two matching rows still give one value.
    return QStringLiteral("(SELECT %1.%2 FROM %3 %1 WHERE %4 ORDER BY %1.%5 LIMIT 1)")
        .arg(alias, SqlDialect::quoteName(lookup.resultField), SqlDialect::quoteName(lookup.lookupTable),
             match.join(QStringLiteral(" AND ")), SqlDialect::rowIdentity(Schema::table(lookup.lookupTable)));
}

QString DataSet::selectList() const
{
    QStringList items;
    int aliasCounter = 0;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i].lookup)
            items << lookupExpression(i, aliasCounter);
        else
            items << QStringLiteral("t.") + SqlDialect::quoteName(m_fields[i].name);
    }
    return items.join(QStringLiteral(", "));
}

void DataSet::forgetRows() const
{
    m_cache.clear();
}

const DataSet::Row& DataSet::fetch(int row) const
{
    static const Row none;
    if (row < 0 || row >= m_keys.size())
        return none;
    if ((m_state == State::Edit || m_state == State::Insert) && row == m_current)
        return m_editRow;
    const qint64 key = m_keys[row];
    if (auto it = m_cache.constFind(key); it != m_cache.constEnd())
        return *it;

    // Prepared on a connection since gone, it is prepared again.
    if (m_fetchQuery && m_fetchGeneration != m_database.generation())
        m_fetchQuery.reset();
    if (!m_fetchQuery) {
        m_fetchQuery.emplace(m_database.connection());
        m_fetchGeneration = m_database.generation();
        const QString sql = QStringLiteral("SELECT %1 FROM %2 t WHERE t.%3 = ?")
                                .arg(selectList(), SqlDialect::quoteName(m_table.name), SqlDialect::rowIdentity(m_table));
        if (!m_fetchQuery->prepare(sql)) {
            const QSqlError error = m_fetchQuery->lastError();
            m_fetchQuery.reset();
            m_database.raise(error);
        }
    }
    QSqlQuery& q = *m_fetchQuery;
    q.bindValue(0, key);
    execOrThrow(q);
    Row values(m_fields.size());
    if (q.next())
        for (int i = 0; i < m_fields.size(); ++i)
            values[i] = SqlDialect::fromStorage(m_fields[i].kind, q.value(i));
    q.finish();
    if (m_cache.size() >= cacheLimit)
        m_cache.clear();
    return *m_cache.insert(key, values);
}

QVariant DataSet::value(int row, int field) const
{
    const Row& r = fetch(row);
    return field >= 0 && field < r.size() ? r[field] : QVariant();
}

Field DataSet::FieldByName(const QByteArray& name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("%1 has no field '%2'")
                                 .arg(QString::fromUtf8(m_table.name), QString::fromUtf8(name)));
    return Field(m_fields[i].name, value(m_current, i), m_fields[i].kind);
}

void DataSet::setCurrent(int row)
{
    const int old = m_current;
    m_current = m_keys.isEmpty() ? -1 : std::clamp(row, 0, int(m_keys.size()) - 1);
    m_eof = m_bof = m_keys.isEmpty();
    if (old != m_current)
        emit currentRowChanged(m_current);
}

void DataSet::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void DataSet::First()
{
    requireActive();
    moveTo(0);
    m_bof = true;
}

void DataSet::Last()
{
    requireActive();
    moveTo(int(m_keys.size()) - 1);
    m_eof = true;
}

void DataSet::Next()
{
    requireActive();
    if (m_current + 1 < m_keys.size())
        moveTo(m_current + 1);
    else
        m_eof = true;
}

void DataSet::Prior()
{
    requireActive();
    if (m_current > 0)
        moveTo(m_current - 1);
    else
        m_bof = true;
}

void DataSet::moveTo(int row)
{
    requireActive();
    if (row != m_current) {
        const bool abandonsInsert = m_state == State::Insert && !Modified();
        const int from = m_current;
        CheckBrowseMode();
        if (abandonsInsert && row > from)
            --row; // the abandoned row no longer stands before the target
    }
    setCurrent(row);
}

void DataSet::Refresh()
{
    requireActive();
    CheckBrowseMode();
    const qint64 key = m_current >= 0 ? m_keys[m_current] : -1;
    const int oldRow = m_current;
    readKeys();
    const qsizetype found = m_keys.indexOf(key);
    m_current = -1;
    setCurrent(found >= 0 ? int(found) : oldRow);
    emit rowsReset();
}

void DataSet::setIndexName(const QByteArray& name)
{
    if (!name.isEmpty() && !m_table.index(name))
        throw EDatabaseError(QStringLiteral("Table %1 has no index '%2'")
                                 .arg(QString::fromUtf8(m_table.name), QString::fromUtf8(name)));
    if (Active())
        CheckBrowseMode(); // a failing post leaves the order as it was
    m_indexName = name;
    if (Active())
        Refresh();
}

void DataSet::setCaseInsensitive(bool on)
{
    m_caseInsensitive = on;
}

void DataSet::setFilter(const QString& expression)
{
    if (!Active() || !m_filtered) {
        m_filterText = expression;
        return;
    }
    std::optional<FilterCondition> condition = conditionFor(expression);
    CheckBrowseMode();
    m_filterText = expression;
    m_condition = std::move(condition);
    readKeys();
    m_current = -1;
    setCurrent(0);
    emit rowsReset();
}

void DataSet::setFiltered(bool on)
{
    if (!Active()) {
        m_filtered = on;
        return;
    }
    std::optional<FilterCondition> condition;
    if (on)
        condition = conditionFor(m_filterText);
    CheckBrowseMode();
    m_filtered = on;
    m_condition = std::move(condition);
    readKeys();
    m_current = -1;
    setCurrent(0);
    emit rowsReset();
}

bool DataSet::findFrom(int start)
{
    requireActive();
    std::optional<FilterCondition> find = conditionFor(m_filterText);
    QStringList where;
    QVariantList values;
    if (m_filtered && m_condition) {
        where << QLatin1Char('(') + m_condition->sql + QLatin1Char(')');
        values << m_condition->values;
    }
    if (find) {
        where << QLatin1Char('(') + find->sql + QLatin1Char(')');
        values << find->values;
    }
    QString sql = QStringLiteral("SELECT t.%1 FROM %2 t").arg(SqlDialect::rowIdentity(m_table), SqlDialect::quoteName(m_table.name));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    QSqlQuery q(m_database.connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        m_database.raise(q.lastError());
    bindAll(q, values);
    execOrThrow(q);
    QSet<qint64> matching;
    while (q.next())
        matching.insert(q.value(0).toLongLong());
    for (int row = std::max(start, 0); row < m_keys.size(); ++row) {
        if (matching.contains(m_keys[row])) {
            moveTo(row);
            return true;
        }
    }
    return false;
}

bool DataSet::FindFirst()
{
    return findFrom(0);
}

bool DataSet::FindNext()
{
    return findFrom(m_current + 1);
}

