// The dataset's edit lifecycle, in one place.
//
// States: Browse (no edit), Edit (the current row has edits not yet stored),
// Insert (the current row is new and not yet stored).
// - Setting a field of the current row puts it into Edit; Insert and Append
//   put a new empty row into Insert.
// - Post stores the row: an UPDATE of exactly that row by its identity, or
//   an INSERT. Cancel drops the edits, or the new row.
// - CheckBrowseMode ends the row in editing: Post when a field was changed,
//   Cancel when not. It is the only way an edit ends on its own: every move
//   to another row, refresh, filter or index change, insert, append and
//   close calls it first, and callers outside (a window being hidden, the
//   import) call it too.
// - A post that fails raises and changes nothing: the row stays in editing
//   with its edits, the cursor stays, so that the official can correct or
//   cancel it. An UPDATE that does not change exactly one row fails so: the
//   row was deleted, or its table emptied, since it was read.
// - Several stations edit the same tables. A post never overwrites what
//   another station stored meanwhile: the UPDATE changes the row only while
//   the fields it sets still hold what was read, a DELETE only while every
//   field does. When the row is there but holds something else, the post is
//   refused, the edit dropped and the row read again, so that the grid
//   shows what the other station stored and the official decides afresh.
//   Date-times are not compared: files of earlier releases hold them in
//   more than one form, and a row that never compares equal could never be
//   changed again.
//
// - Result rows belong to their race by its key. A post that would leave
//   any result row without its race (a race's key changed under its
//   results, a result row moved to a race that does not exist) is refused
//   before anything is written, and the edit is kept for correction.
//
// While a row is in editing, m_editRow holds the row as edited followed by
// the row as it was read, which the post compares with the stored row.

#include "store/DataSet.h"

#include "store/Database.h"
#include "store/Dialect.h"
#include "store/Exception.h"
#include "store/Miscl.h"

#include <QSqlError>

#include <algorithm>

namespace {

QString textOf(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

const QString changedElsewhere = QStringLiteral(
    "This row was changed at another station since it was read, and your change was not stored. The grid now "
    "shows the row as it is stored; enter your change again if it is still wanted.");

// Whether any row of the table has that value in the column.
bool anyRowHolds(Database& database, const char* table, const char* column, const QVariant& value)
{
    QSqlQuery q(database.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
                       .arg(SqlDialect::quoteName(table), SqlDialect::quoteName(column))))
        database.raise(q.lastError());
    q.addBindValue(value);
    if (!q.exec())
        database.raise(q.lastError());
    return q.next();
}

bool isStored(Database& database, const TableDef& table, qint64 key)
{
    QSqlQuery q(database.connection());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?")
                       .arg(SqlDialect::rowIdentity(table), SqlDialect::quoteName(table.name))))
        database.raise(q.lastError());
    q.addBindValue(key);
    if (!q.exec())
        database.raise(q.lastError());
    return q.next();
}

// The condition that a stored field still holds the value read, written
// apart for null, which no engine compares equal to anything.
void requireUnchanged(const DataSetField& field, const QVariant& read, QStringList& where, QVariantList& values)
{
    if (field.kind == FieldKind::DateTime)
        return;
    const QString name = SqlDialect::quoteName(field.name);
    if (read.isNull()) {
        where << name + QStringLiteral(" IS NULL");
    } else {
        where << name + QStringLiteral(" = ?");
        values << SqlDialect::toStorage(field.kind, read);
    }
}

} // namespace

void DataSet::CheckBrowseMode()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    if (Modified())
        Post();
    else
        Cancel();
}

void DataSet::Edit()
{
    requireActive();
    if (m_state != State::Browse)
        return;
    if (m_keys.isEmpty()) {
        Append();
        return;
    }
    const Row read = fetch(m_current);
    m_editRow = read + read;
    m_changed.clear();
    setState(State::Edit);
}

QVariant DataSet::converted(int field, const QVariant& value) const
{
    if (value.isNull())
        return {};
    const FieldKind kind = m_fields[field].kind;
    const bool isText = value.metaType().id() == QMetaType::QString || value.metaType().id() == QMetaType::QByteArray;
    const QString text = isText ? textOf(value) : QString();
    // An emptied cell holds nothing: null, never an empty text that a
    // comparison with another empty text would match.
    if (isText && (kind == FieldKind::Text ? text.isEmpty() : text.trimmed().isEmpty()))
        return {};
    const QByteArray bytes = text.trimmed().toUtf8();
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::SmallInt:
    case FieldKind::AutoIncrement:
        return isText ? QVariant(Miscl::toInteger(bytes)) : QVariant(value.toLongLong());
    case FieldKind::Float:
        return isText ? QVariant(Miscl::toFloat(bytes)) : QVariant(value.toDouble());
    case FieldKind::Boolean:
        if (!isText)
            return value.toBool();
        if (text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || bytes == "1")
            return true;
        if (text.trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || bytes == "0")
            return false;
        throw EConvertError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
    case FieldKind::DateTime: {
        if (!isText)
            return value.metaType().id() == QMetaType::QDateTime ? SqlDialect::fromStorage(FieldKind::DateTime, SqlDialect::toStorage(FieldKind::DateTime, value))
                                                                 : QVariant(value.toDouble());
        const double days = SqlDialect::dayCountFromStorage(text.trimmed());
        if (days == 0)
            throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(text));
        return days;
    }
    case FieldKind::Text:
        return isText ? text : value.toString();
    }
    return value;
}

void DataSet::setFieldValue(const QByteArray& name, const QVariant& value)
{
    const int i = fieldIndex(name);
    if (i < 0)
        throw EDatabaseError(QStringLiteral("%1 has no field '%2'")
                                 .arg(QString::fromUtf8(m_table.name), QString::fromUtf8(name)));
    setFieldValue(i, value);
}

void DataSet::setFieldValue(int field, const QVariant& value)
{
    requireActive();
    if (field < 0 || field >= m_fields.size())
        throw EDatabaseError(QStringLiteral("%1 has no field number %2").arg(QString::fromUtf8(m_table.name)).arg(field));
    if (m_fields[field].lookup || m_fields[field].kind == FieldKind::AutoIncrement)
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(QString::fromUtf8(m_fields[field].name)));
    const QVariant v = converted(field, value);
    if (m_state == State::Browse)
        Edit();
    m_editRow[field] = v;
    if (!m_changed.contains(field))
        m_changed << field;
    emit rowChanged(m_current);
}

void DataSet::Post()
{
    requireActive();
    if (m_state == State::Browse)
        return;
    if (m_state == State::Edit)
        postEdit();
    else
        postInsert();
    m_changed.clear();
    m_editRow.clear();
    setState(State::Browse);
    emit rowChanged(m_current);
}

void DataSet::requireRaceKeptForItsResults() const
{
    const int key = fieldIndex("race_id_pk");
    if (key < 0 || !m_changed.contains(key))
        return;
    const QVariant now = m_editRow.value(key);
    const QVariant read = m_editRow.value(m_fields.size() + key);
    if (now == read)
        return;
    const QString shownNow = now.isNull() ? QStringLiteral("empty") : now.toString();
    if (m_table.name == "races" && !read.isNull() && anyRowHolds(m_database, "result", "race_id_pk", read))
        throw EDatabaseError(QStringLiteral("Race ID %1 has results: it cannot become %2, or its results would be "
                                            "left without their race. Press Escape to keep the race as it is.")
                                 .arg(read.toString(), shownNow));
    if (m_table.name == "result" && (now.isNull() || !anyRowHolds(m_database, "races", "race_id_pk", now)))
        throw EDatabaseError(QStringLiteral("There is no race with Race ID %1: the result would be left without "
                                            "its race. Press Escape to keep it in race %2.")
                                 .arg(shownNow, read.toString()));
}

void DataSet::postEdit()
{
    if (m_changed.isEmpty())
        return;
    requireRaceKeptForItsResults();
    QStringList sets;
    for (int f : m_changed)
        sets << SqlDialect::quoteName(m_fields[f].name) + QStringLiteral(" = ?");
    QStringList where{SqlDialect::rowIdentity(m_table) + QStringLiteral(" = ?")};
    QVariantList whereValues{m_keys[m_current]};
    const qsizetype readAt = m_fields.size();
    for (int f : m_changed)
        requireUnchanged(m_fields[f], m_editRow.value(readAt + f), where, whereValues);
    QSqlQuery q(m_database.connection());
    if (!q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                       .arg(SqlDialect::quoteName(m_table.name), sets.join(QStringLiteral(", ")),
                            where.join(QStringLiteral(" AND ")))))
        m_database.raise(q.lastError());
    for (int f : m_changed)
        q.addBindValue(SqlDialect::toStorage(m_fields[f].kind, m_editRow[f]));
    for (const QVariant& v : whereValues)
        q.addBindValue(v);
    execOrThrow(q);
    // The identity is the table's primary key: one row at most matches.
    if (q.numRowsAffected() != 1) {
        if (isStored(m_database, m_table, m_keys[m_current])) {
            Cancel();
            m_cache.remove(m_keys[m_current]); // read again for the grid
            emit rowChanged(m_current);
            throw EDatabaseError(changedElsewhere);
        }
        throw EDatabaseError(QStringLiteral("Row was changed or deleted since it was read"));
    }
    m_cache.remove(m_keys[m_current]);
}


void DataSet::postInsert()
{
    QList<int> columns = m_changed;
    for (int f = 0; f < m_table.columns.size(); ++f)
        if (m_table.columns[f].required && !columns.contains(f))
            columns << f;
    const QString table = SqlDialect::quoteName(m_table.name);
    QString sql;
    if (columns.isEmpty()) {
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    } else {
        QStringList names, marks;
        for (int f : columns) {
            names << SqlDialect::quoteName(m_fields[f].name);
            marks << QStringLiteral("?");
        }
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(table, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }
    QSqlQuery q(m_database.connection());
    if (!q.prepare(sql))
        m_database.raise(q.lastError());
    for (int f : columns)
        q.addBindValue(SqlDialect::toStorage(m_fields[f].kind, m_editRow[f]));
    execOrThrow(q);
    m_keys[m_current] = q.lastInsertId().toLongLong();
}

void DataSet::Cancel()
{
    requireActive();
    if (m_state == State::Edit) {
        m_changed.clear();
        m_editRow.clear();
        setState(State::Browse);
        emit rowChanged(m_current);
    } else if (m_state == State::Insert) {
        const int row = m_current;
        m_keys.removeAt(row);
        m_changed.clear();
        m_editRow.clear();
        setState(State::Browse);
        emit rowRemoved(row);
        m_current = -1;
        setCurrent(row);
    }
}

void DataSet::Insert()
{
    requireActive();
    CheckBrowseMode();
    insertAt(std::max(m_current, 0));
}

void DataSet::Append()
{
    requireActive();
    CheckBrowseMode();
    insertAt(int(m_keys.size()));
}

void DataSet::insertAt(int row)
{
    m_keys.insert(row, 0);
    m_editRow = Row(m_fields.size());
    // A required flag starts false, so that a row typed in by hand stores.
    for (int f = 0; f < m_table.columns.size(); ++f)
        if (m_table.columns[f].required && m_table.columns[f].kind == FieldKind::Boolean)
            m_editRow[f] = false;
    m_changed.clear();
    m_current = row;
    m_eof = m_bof = false;
    setState(State::Insert);
    emit rowInserted(row);
    emit currentRowChanged(row);
}

void DataSet::Delete()
{
    requireActive();
    if (m_state == State::Insert) {
        Cancel();
        return;
    }
    if (m_keys.isEmpty())
        return;
    // Deleting the row in editing drops its edits.
    if (m_state == State::Edit)
        Cancel();
    const int row = m_current;
    QStringList where{SqlDialect::rowIdentity(m_table) + QStringLiteral(" = ?")};
    QVariantList whereValues{m_keys[row]};
    const Row read = fetch(row);
    for (int f = 0; f < m_fields.size(); ++f)
        if (!m_fields[f].lookup && m_fields[f].kind != FieldKind::AutoIncrement)
            requireUnchanged(m_fields[f], read.value(f), where, whereValues);
    QSqlQuery q(m_database.connection());
    if (!q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2")
                       .arg(SqlDialect::quoteName(m_table.name), where.join(QStringLiteral(" AND ")))))
        m_database.raise(q.lastError());
    for (const QVariant& v : whereValues)
        q.addBindValue(v);
    execOrThrow(q);
    // A row deleted meanwhile at another station is gone either way.
    if (q.numRowsAffected() == 0 && isStored(m_database, m_table, m_keys[row])) {
        m_cache.remove(m_keys[row]); // read again for the grid
        emit rowChanged(row);
        throw EDatabaseError(changedElsewhere);
    }
    m_cache.remove(m_keys[row]);
    m_keys.removeAt(row);
    emit rowRemoved(row);
    m_current = -1;
    setCurrent(row);
}
