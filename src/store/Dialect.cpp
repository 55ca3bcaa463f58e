#include "store/Dialect.h"

#include "store/DateTime.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

const char* storageFormat = "yyyy-MM-dd HH:mm:ss";

QString columnType(const ColumnDef& c)
{
    switch (c.kind) {
    case FieldKind::Integer:
        return QStringLiteral("INTEGER");
    case FieldKind::SmallInt:
        return QStringLiteral("SMALLINT");
    case FieldKind::Float:
        return QStringLiteral("REAL");
    case FieldKind::Text:
        return c.size > 0 ? QStringLiteral("VARCHAR(%1)").arg(c.size) : QStringLiteral("TEXT");
    case FieldKind::DateTime:
        return QStringLiteral("DATETIME");
    case FieldKind::Boolean:
        return QStringLiteral("BOOLEAN");
    case FieldKind::AutoIncrement:
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    }
    return QStringLiteral("TEXT");
}

QString widthCheck(const TableDef& table, const ColumnDef& c)
{
    const QString name = QStringLiteral("%1.%2 holds at most %3 character%4")
                             .arg(QString::fromUtf8(table.name), QString::fromUtf8(c.name))
                             .arg(c.size)
                             .arg(c.size == 1 ? QString() : QStringLiteral("s"));
    return QStringLiteral("CONSTRAINT %1 CHECK (length(%2) <= %3)")
        .arg(SqlDialect::quoteName(name.toUtf8()), SqlDialect::quoteName(c.name))
        .arg(c.size);
}

// #yyyy/mm/dd hh:mm# outside quotes becomes 'yyyy-mm-dd hh:mm:00'.
bool translateDateLiteral(const QString& sql, qsizetype& i, QString& out)
{
    static const QRegularExpression literal(
        QStringLiteral("\\G#(\\d{4})/(\\d{2})/(\\d{2}) (\\d{2}):(\\d{2})#"));
    const auto m = literal.match(sql, i);
    if (!m.hasMatch())
        return false;
    out += QStringLiteral("'%1-%2-%3 %4:%5:00'")
               .arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4), m.captured(5));
    i += m.capturedLength();
    return true;
}

bool translateDistinctRow(const QString& sql, qsizetype& i)
{
    static const QRegularExpression word(QStringLiteral("\\GDISTINCTROW\\b\\s*"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (i > 0 && (sql[i - 1].isLetterOrNumber() || sql[i - 1] == QLatin1Char('_')))
        return false;
    const auto m = word.match(sql, i);
    if (!m.hasMatch())
        return false;
    i += m.capturedLength();
    return true;
}

} // namespace

namespace SqlDialect {

QString driverName()
{
    return QStringLiteral("QSQLITE");
}

QString createTable(const TableDef& table)
{
    QStringList columns;
    for (const ColumnDef& c : table.columns) {
        QString def = quoteName(c.name) + QLatin1Char(' ') + columnType(c);
        if (c.required)
            def += QStringLiteral(" NOT NULL");
        columns << def;
    }
    // Last, so that the table's own columns come first in any tool.
    if (table.hasHiddenIdentity())
        columns << quoteName(table.identity()) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    for (const ColumnDef& c : table.columns)
        if (c.kind == FieldKind::Text && c.size > 0)
            columns << widthCheck(table, c);
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteName(table.name), columns.join(QStringLiteral(", ")));
}

QString createIndex(const TableDef& table, const IndexDef& index)
{
    // Index names are global in SQLite; the schema's names are per table.
    QStringList columns;
    for (const QByteArray& c : index.columns)
        columns << quoteName(c);
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
        .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(),
             quoteName(table.name + '_' + index.name), quoteName(table.name),
             columns.join(QStringLiteral(", ")));
}

QString readLayoutVersion()
{
    return QStringLiteral("PRAGMA user_version");
}

QString writeLayoutVersion(int version)
{
    return QStringLiteral("PRAGMA user_version = %1").arg(version);
}

QStringList migrateFromFirstLayout(const TableDef& table)
{
    const QString name = quoteName(table.name);
    const QString old = quoteName(table.name + "_first_layout");
    QStringList columns;
    for (const ColumnDef& c : table.columns)
        columns << quoteName(c.name);
    QStringList into = columns;
    QStringList from = columns;
    if (table.hasHiddenIdentity()) {
        into << rowIdentity(table);
        from << QStringLiteral("rowid");
    }
    QStringList statements{QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(name, old), createTable(table),
                           QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 ORDER BY rowid")
                               .arg(name, into.join(QStringLiteral(", ")), from.join(QStringLiteral(", ")), old),
                           QStringLiteral("DROP TABLE %1").arg(old)};
    for (const IndexDef& index : table.indexes)
        statements << createIndex(table, index);
    return statements;
}

QString enforceWidths(bool on)
{
    return QStringLiteral("PRAGMA ignore_check_constraints = %1").arg(on ? 0 : 1);
}

QStringList connectionSetup()
{
    // WAL keeps the file intact through a crash; FULL synchronisation makes
    // every commit reach the disk before it returns, so a race or a scan the
    // screen shows as stored survives a power cut.
    return {QStringLiteral("PRAGMA journal_mode=WAL"), QStringLiteral("PRAGMA synchronous=FULL"),
            QStringLiteral("PRAGMA busy_timeout=5000")};
}

QString translate(const QByteArray& statement)
{
    const QString sql = QString::fromUtf8(statement);
    QString out;
    out.reserve(sql.size());
    bool inText = false;
    for (qsizetype i = 0; i < sql.size();) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            inText = !inText; // a doubled quote toggles twice
            out += c;
            ++i;
            continue;
        }
        if (!inText) {
            if (c == QLatin1Char('#') && translateDateLiteral(sql, i, out))
                continue;
            if ((c == QLatin1Char('D') || c == QLatin1Char('d')) && translateDistinctRow(sql, i))
                continue;
        }
        out += c;
        ++i;
    }
    return out;
}

QVariant toStorage(FieldKind kind, const QVariant& value)
{
    if (value.isNull())
        return value;
    switch (kind) {
    case FieldKind::DateTime:
        if (value.metaType().id() == QMetaType::QDateTime)
            return value.toDateTime().toString(QLatin1String(storageFormat));
        return dayCountToStorage(value.toDouble());
    case FieldKind::Boolean:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

QVariant fromStorage(FieldKind kind, const QVariant& stored)
{
    if (stored.isNull())
        return stored;
    switch (kind) {
    case FieldKind::DateTime:
        return dayCountFromStorage(stored);
    case FieldKind::Boolean:
        return stored.toInt() != 0;
    default:
        return stored;
    }
}

double dayCountFromStorage(const QVariant& stored)
{
    if (stored.isNull())
        return 0;
    if (stored.metaType().id() == QMetaType::Double || stored.metaType().id() == QMetaType::Int
        || stored.metaType().id() == QMetaType::LongLong)
        return stored.toDouble();
    // Date and time are read apart, as a wall clock: read as a local time,
    // a reading in a daylight-saving gap would be refused and become day 0.
    const QStringList parts = stored.toString().split(QLatin1Char(' '));
    const QDate date = QDate::fromString(parts.first(), QStringLiteral("yyyy-MM-dd"));
    QTime time(0, 0);
    if (parts.size() == 2) {
        time = QTime::fromString(parts.last(), QStringLiteral("HH:mm:ss"));
        if (!time.isValid())
            time = QTime::fromString(parts.last(), QStringLiteral("HH:mm"));
    }
    return date.isValid() && time.isValid() && parts.size() <= 2 ? DayCount::fromDateTime(date, time) : 0.0;
}

QString dayCountToStorage(double days)
{
    return DayCount::toDateTime(days).toString(QLatin1String(storageFormat));
}

QString rowIdentity(const TableDef& table)
{
    return quoteName(table.identity());
}

QString caseFolded(const QString& expression)
{
    return QStringLiteral("lower(%1)").arg(expression);
}

QString quoteName(const QByteArray& name)
{
    return QLatin1Char('[') + QString::fromUtf8(name) + QLatin1Char(']');
}

} // namespace SqlDialect
