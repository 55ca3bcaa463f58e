// Filter expressions as typed into a search box: what the parser accepts
// runs against a small database without an SQL error, and a refusal says
// where the expression goes wrong.
#include "FuzzStore.h"

#include "store/Exception.h"
#include "store/Filter.h"
#include "store/Schema.h"

#include <QSqlError>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzStore store;
    static bool seeded = false;
    if (!seeded) {
        store.exec("insert into athletes (number, surname, firstname, gender, age) values (1, 'Smith', 'Ann', 'F', 12)");
        store.exec("insert into athletes (number, surname, firstname, gender, age) values (2, 'O''Neil', 'Bo', 'M', 14)");
        store.exec("insert into event (event, tg_event) values ('100 Metres', '100M')");
        seeded = true;
    }
    if (size < 1)
        return 0;
    const QList<TableDef>& tables = Schema::tables();
    const TableDef& table = tables[data[0] % tables.size()];
    const bool caseInsensitive = data[0] & 0x80;
    const QString expression
        = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    FilterCondition condition;
    try {
        condition = parseFilter(expression, filterFields(table), caseInsensitive);
    } catch (const EFilterError& e) {
        const QString message = e.message();
        fuzzCheck(message.contains(QStringLiteral("position"))
                      || message.contains(QStringLiteral("end")),
                  "a refusal that does not say where", message.toUtf8());
        return 0;
    }
    fuzzCheck(condition.sql.count(QLatin1Char('?')) == condition.values.size(), "placeholders and values differ",
              condition.sql.toUtf8());
    QSqlQuery query(store.db().connection());
    const QString where = condition.sql.isEmpty() ? QString() : QStringLiteral(" WHERE ") + condition.sql;
    const QString sql = QStringLiteral("SELECT count(*) FROM [") + QString::fromUtf8(table.name) + QStringLiteral("]")
        + where;
    if (!query.prepare(sql))
        fuzzFinding("a parsed filter the engine refuses", (sql + QStringLiteral("\n") + query.lastError().text()).toUtf8());
    for (const QVariant& value : condition.values)
        query.addBindValue(value);
    if (!query.exec())
        fuzzFinding("a parsed filter that fails to run", (sql + QStringLiteral("\n") + query.lastError().text()).toUtf8());
    return 0;
}
