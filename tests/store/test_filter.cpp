#include "store/Dialect.h"
#include "store/Filter.h"
#include "store/StoreFixture.h"

#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>

namespace {

using Keys = QList<qlonglong>;

struct Case {
    const char* expression;
    Keys expected;
};

// Conditions are run against a real data store: what counts is which rows
// they select.
class FilterTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        exec("INSERT INTO athletes (number, firstname, surname, age, gender) VALUES"
             " (1, 'Anna', 'Smith', 12, 'F'), (2, 'Bob', 'smithers', 13, 'M'),"
             " (3, 'Carl', 'SMITH', 14, 'M'), (4, 'Dora', 'O''Brien', 12, 'F'),"
             " (5, 'Eve', 'Smi%th', 15, 'F'), (6, 'Finn', 'Sm_th', 16, 'M'),"
             " (7, 'Gus', NULL, NULL, 'M'), (8, 'Ida', 'Smi*th', 11, 'F'),"
             " (105, 'Hal', 'Jones', 19, 'M'), (1002, 'Jo', 'Ärger', 17, 'F')");
        exec("INSERT INTO races (race_id_pk, number, datetime, event, completed, age, gender) VALUES"
             " (1, 10, '2024-04-30 16:00:00', '100', 0, 12, 'F'),"
             " (2, 11, '2024-05-01 09:30:00', '100M', 1, 12, 'M'),"
             " (3, 12, '2024-05-01 14:05:00', '1500M', 1, 14, ''),"
             " (4, 13, '2024-05-02 08:00:00', '200m', 0, 16, 'F')");
    }

    // The keys of the rows of a table that satisfy the expression, in order.
    QList<qlonglong> matching(const QString& expression, bool caseInsensitive = false,
                              const QByteArray& table = "athletes")
    {
        const FilterCondition c = parseFilter(expression, filterFields(Schema::table(table)), caseInsensitive);
        const QString key = table == "races" ? QStringLiteral("race_id_pk") : QStringLiteral("number");
        QSqlQuery q(db->connection());
        const QString where = c.sql.isEmpty() ? QString() : QStringLiteral(" WHERE ") + c.sql;
        EXPECT_TRUE(q.prepare(QStringLiteral("SELECT ") + key + QStringLiteral(" FROM ") + QString::fromUtf8(table)
                              + where + QStringLiteral(" ORDER BY ") + key))
            << q.lastError().text().toStdString() << " in " << c.sql.toStdString();
        for (const QVariant& v : c.values)
            q.addBindValue(v);
        EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString() << " in " << c.sql.toStdString();
        QList<qlonglong> keys;
        while (q.next())
            keys << q.value(0).toLongLong();
        return keys;
    }

    void expectCases(std::initializer_list<Case> cases, bool caseInsensitive, const QByteArray& table = "athletes")
    {
        for (const Case& c : cases)
            EXPECT_EQ(matching(QString::fromUtf8(c.expression), caseInsensitive, table), c.expected) << c.expression;
    }

    QString failure(const QString& expression, bool caseInsensitive = false)
    {
        try {
            parseFilter(expression, filterFields(Schema::table("athletes")), caseInsensitive);
        } catch (const EFilterError& e) {
            return e.message();
        }
        ADD_FAILURE() << "accepted: " << expression.toStdString();
        return {};
    }
};

TEST_F(FilterTest, EmptyOrBlankExpressionIsNoCondition)
{
    for (const char* blank : {"", "   ", "\t\n"}) {
        const FilterCondition c = parseFilter(QString::fromUtf8(blank), filterFields(Schema::table("athletes")), true);
        EXPECT_TRUE(c.sql.isEmpty());
        EXPECT_TRUE(c.values.isEmpty());
    }
}

TEST_F(FilterTest, ExpressionsTheProgramBuildsAreBoundNotWritten)
{
    const QList<FilterField> races = filterFields(Schema::table("races"));
    FilterCondition c = parseFilter(QStringLiteral("race_id_pk = 123"), races, false);
    EXPECT_EQ(c.sql, QStringLiteral("\"race_id_pk\" = ?"));
    EXPECT_EQ(c.values, QVariantList{qlonglong(123)});

    c = parseFilter(QStringLiteral("surname = 'Smi*'"), filterFields(Schema::table("athletes")), false);
    EXPECT_FALSE(c.sql.contains(QStringLiteral("Smi")));
    EXPECT_FALSE(c.sql.contains(QStringLiteral("LIKE"), Qt::CaseInsensitive));
    EXPECT_EQ(c.values, (QVariantList{QStringLiteral("Smi"), QStringLiteral("Smi")}));

    expectCases({{"gender = 'M'", {2, 3, 6, 7, 105}},
                 {"number = 105", {105}},
                 {"age = 12", {1, 4}},
                 {"surname = 'Smi*'", {1, 2, 3, 5, 8}},
                 {"surname >= 'Smi'", {1, 2, 3, 5, 8, 1002}}},
                true);
    expectCases({{"event = '100M'", {2}}, {"age = 12", {1, 2}}}, false, "races");
}

TEST_F(FilterTest, ComparisonsOfNumbersAndTexts)
{
    expectCases({{"age = 12", {1, 4}},
                 {"age <> 12", {2, 3, 5, 6, 8, 105, 1002}},
                 {"age < 12", {8}},
                 {"age <= 12", {1, 4, 8}},
                 {"age > 16", {105, 1002}},
                 {"age >= 16", {6, 105, 1002}},
                 {"age != 12", {2, 3, 5, 6, 8, 105, 1002}},
                 {"age > 15.5", {6, 105, 1002}},
                 {"age > +15.5", {6, 105, 1002}},
                 {"age > -1", {1, 2, 3, 4, 5, 6, 8, 105, 1002}},
                 {"age < .5", {}},
                 {"number >= 1000", {1002}},
                 {"number = +105", {105}},
                 {"surname = 'Smith'", {1}},
                 {"surname = 'O''Brien'", {4}},
                 {"surname < 'S'", {4, 105}},
                 {"surname = 'Smi*th'", {8}},
                 {"surname = 'Smi%th'", {5}},
                 {"surname = ''", {}}},
                false);
}

TEST_F(FilterTest, NamesKeywordsAndSpacing)
{
    expectCases({{"AGE = 12", {1, 4}},
                 {"[Age]=12", {1, 4}},
                 {"[ surname ] = 'Jones'", {105}},
                 {"age=12 AND(gender='F')", {1, 4}},
                 {"age = 12 aNd gender = 'F'", {1, 4}},
                 {"age = 12 or age = 19", {1, 4, 105}},
                 {"not age = 12", {2, 3, 5, 6, 8, 105, 1002}}},
                false);
}

TEST_F(FilterTest, PrecedenceIsNotThenAndThenOr)
{
    expectCases({{"age = 12 OR age = 13 AND gender = 'F'", {1, 4}},
                 {"(age = 12 OR age = 13) AND gender = 'M'", {2}},
                 {"gender = 'M' AND NOT age = 13 OR number = 1", {1, 3, 6, 105}},
                 {"NOT (gender = 'M' OR age = 12)", {5, 8, 1002}},
                 {"NOT NOT age = 12", {1, 4}},
                 {"((((age = 19))))", {105}}},
                false);

    // The condition keeps its meaning inside a larger WHERE.
    const FilterCondition c
        = parseFilter(QStringLiteral("number = 1 OR number = 2"), filterFields(Schema::table("athletes")), false);
    QSqlQuery q(db->connection());
    ASSERT_TRUE(q.prepare(QStringLiteral("SELECT count(*) FROM athletes WHERE gender = 'F' AND ") + c.sql));
    for (const QVariant& v : c.values)
        q.addBindValue(v);
    ASSERT_TRUE(q.exec());
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
}

TEST_F(FilterTest, NullTests)
{
    expectCases({{"surname IS NULL", {7}},
                 {"surname = NULL", {7}},
                 {"age is not null AND age < 12", {8}},
                 {"surname <> NULL AND number < 4", {1, 2, 3}},
                 // SQL's rule: a null field matches neither = nor <>.
                 {"surname <> 'Smith' AND number < 8", {2, 3, 4, 5, 6}}},
                false);
}

TEST_F(FilterTest, CaseOfTexts)
{
    expectCases({{"surname = 'smith'", {}},
                 {"surname = 'SMITH'", {3}},
                 {"surname >= 'Smi' AND surname < 'T'", {1, 5, 8}},
                 {"gender = 'm'", {}}},
                false);
    expectCases({{"surname = 'smith'", {1, 3}},
                 {"surname >= 'smi'", {1, 2, 3, 5, 8, 1002}},
                 {"surname < 'SMITH'", {4, 5, 6, 8, 105}},
                 {"gender = 'm' AND age < 14", {2}},
                 {"surname = 'Ärger'", {1002}}},
                true);
}

TEST_F(FilterTest, PrefixMatch)
{
    expectCases({{"surname = 'Smi*'", {1, 5, 8}},
                 {"surname = 'smi*'", {2}},
                 {"surname = 'SM*'", {3}},
                 {"surname = 'Smi%*'", {5}},
                 {"surname = 'Sm_*'", {6}},
                 {"surname = 'Smi**'", {8}},
                 {"surname = 'O''B*'", {4}},
                 {"surname = 'Ä*'", {1002}},
                 {"surname = '*'", {1, 2, 3, 4, 5, 6, 8, 105, 1002}},
                 {"surname <> 'S*'", {2, 4, 105, 1002}},
                 {"surname > 'Smi*'", {1, 2, 8, 1002}}, // * is ordinary there: '*' sorts before letters
                 {"number = '10*'", {105, 1002}}},
                false);
    expectCases({{"surname = 'smi*'", {1, 2, 3, 5, 8}},
                 {"surname = 'SMITH*'", {1, 2, 3}},
                 {"surname = 'sm_*'", {6}},
                 {"NOT surname = 's*' AND number < 100", {4}}},
                true);
}

TEST_F(FilterTest, NumbersAndTextsMeetAsAPersonExpects)
{
    expectCases({{"number = '105'", {105}},
                 {"number = ' 105 '", {105}},
                 {"age > '15'", {6, 105, 1002}},
                 {"age = TRUE", {}}},
                false);
    expectCases({{"event = 100", {1}},
                 {"event = '100'", {1}},
                 {"event = 100 OR event = '100M'", {1, 2}},
                 {"completed = TRUE", {2, 3}},
                 {"completed = false", {1, 4}},
                 {"completed = 'True'", {2, 3}},
                 {"completed = 0", {1, 4}},
                 {"gender = ''", {3}},
                 {"event = '200M'", {}},
                 {"datetime >= '2024-05-01' AND datetime < '2024-05-02'", {2, 3}},
                 {"datetime = '2024-05-01*'", {2, 3}},
                 {"datetime > '2024-05-01 12:00'", {3, 4}}},
                false, "races");
    expectCases({{"event = '200M'", {4}}, {"event = '1500m*'", {3}}}, true, "races");

    const double noon = SqlDialect::dayCountFromStorage(QStringLiteral("2024-05-01 12:00:00"));
    EXPECT_EQ(matching(QStringLiteral("datetime > ") + QString::number(noon, 'f', 4), false, "races"), (Keys{3, 4}));
}

TEST_F(FilterTest, FieldExpressionsGivenByTheDataset)
{
    QList<FilterField> fields = filterFields(Schema::table("athletes"));
    fields.append({"bname", FieldKind::Text, QStringLiteral("a.[surname]")});
    const FilterCondition c = parseFilter(QStringLiteral("BNAME = 'Jones*'"), fields, false);
    QSqlQuery q(db->connection());
    ASSERT_TRUE(q.prepare(QStringLiteral("SELECT a.number FROM athletes a WHERE ") + c.sql));
    for (const QVariant& v : c.values)
        q.addBindValue(v);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 105);
    EXPECT_FALSE(q.next());
}

TEST_F(FilterTest, BadExpressionsSayWhatAndWhere)
{
    const struct {
        const char* expression;
        std::vector<const char*> parts;
    } cases[] = {
        {"xyz = 1", {"unknown field 'xyz' at position 1", "surname"}},
        {"age = 1 AND [Team Name] = 'a'", {"unknown field 'Team Name' at position 13"}},
        {"surname = 'Smi", {"unterminated text", "position 11"}},
        {"surname = 'it''s", {"unterminated text", "position 11"}},
        {"surname 'Smith'", {"an operator", "after the field 'surname' at position 9", "there is 'Smith'"}},
        {"surname", {"an operator", "the end of the expression"}},
        {"surname =", {"a value", "after '=' at position 10", "the end of the expression"}},
        {"surname = Smith", {"a value", "after '='", "position 11", "there is 'Smith'", "single quotes"}},
        {"surname = \"Smith\"", {"single quotes", "position 11"}},
        {"surname = 100M", {"'100M' at position 11 is not a number", "'100M'"}},
        {"age = 1.2.3", {"is not a number"}},
        {"(age = 12 OR age = 13", {"closing parenthesis is missing", "'(' at position 1"}},
        {"(age = 12 age = 13)", {"unexpected 'age' at position 11", "')'"}},
        {"age = 12)", {"')' at position 9 closes no '('"}},
        {"age = 12 gender = 'F'", {"unexpected 'gender' at position 10", "AND or OR"}},
        {"age = 12 AND", {"a field name", "the end of the expression"}},
        {"AND age = 12", {"a field name", "position 1", "there is 'AND'"}},
        {"()", {"a field name", "position 2", "there is ')'"}},
        {"surname = 'O'Brien*'", {"unexpected 'Brien' at position 14", "written twice"}},
        {"age < NULL", {"NULL at position 7", "= or <>"}},
        {"surname IS 'x'", {"NULL is expected after IS at position 12", "there is 'x'"}},
        {"number = 'abc'", {"'number' holds numbers", "'abc'"}},
        {"surname = TRUE", {"'surname' is not one"}},
        {"age = 12 & gender = 'F'", {"unexpected character '&' at position 10"}},
        {"[surname = 'x'", {"no closing ]"}},
        {"[] = 1", {"no field name"}},
    };
    for (const auto& c : cases) {
        const QString message = failure(QString::fromUtf8(c.expression));
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.expression))) << message.toStdString();
        for (const char* part : c.parts)
            EXPECT_TRUE(message.contains(QString::fromUtf8(part))) << c.expression << " -> " << message.toStdString();
    }

    // A NUL typed into the search box does not cut the message short.
    const QString withNul = QStringLiteral("surname = 'a") + QChar(0) + QStringLiteral("b");
    EXPECT_TRUE(failure(withNul).contains(QStringLiteral("position 11"))) << failure(withNul).toStdString();
}

TEST_F(FilterTest, PathologicalNestingIsRefusedNotCrashed)
{
    EXPECT_TRUE(failure(QString(100000, u'(')).contains(QStringLiteral("nested")));
    QString nots;
    for (int i = 0; i < 100000; ++i)
        nots += QStringLiteral("NOT ");
    EXPECT_TRUE(failure(nots + QStringLiteral("age = 1")).contains(QStringLiteral("nested")));

    QString deepButFine = QString(90, u'(') + QStringLiteral("age = 19") + QString(90, u')');
    EXPECT_EQ(matching(deepButFine), Keys{105});
}

TEST_F(FilterTest, TypedTextNeverBecomesSql)
{
    EXPECT_TRUE(failure(QStringLiteral("surname = 'x' OR 1=1 --")).contains(QStringLiteral("a field name")));
    EXPECT_TRUE(failure(QStringLiteral("surname = 'a'); drop table athletes; --'")).contains(QStringLiteral("closes no")));
    EXPECT_TRUE(failure(QStringLiteral("surname = 'x'; DELETE FROM athletes")).contains(QStringLiteral("';'")));

    // Quoted, the same texts are plain values.
    for (const char* text : {"surname = 'a''); drop table athletes; --'", "surname = 'x'' OR 1=1 --'",
                             "surname = 'x'' OR ''1''=''1*'", "[surname; drop table athletes; --] = 'x'"}) {
        try {
            const FilterCondition c
                = parseFilter(QString::fromUtf8(text), filterFields(Schema::table("athletes")), true);
            EXPECT_FALSE(c.sql.contains(QStringLiteral("drop"), Qt::CaseInsensitive)) << text;
            EXPECT_FALSE(c.sql.contains(QStringLiteral("1=1"))) << text;
            EXPECT_EQ(matching(QString::fromUtf8(text)), Keys{}) << text;
        } catch (const EFilterError& e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("unknown field"))) << e.message().toStdString();
        }
    }
    EXPECT_EQ(count("athletes"), 10);
}

} // namespace
