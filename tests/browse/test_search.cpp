#include "browse/Search.h"

#include <gtest/gtest.h>

namespace {

enum Page { Races, Athletes, Records, Events, PBest, Coms };

struct Case {
    int page;
    QByteArray text;
    QByteArray expression;
};

void expectFilters(std::initializer_list<Case> cases)
{
    for (const Case& c : cases) {
        const SearchFilter filter = searchFilter(c.page, c.text);
        EXPECT_EQ(filter.action, SearchFilter::Action::Apply) << "page " << c.page << ": " << c.text.constData();
        EXPECT_EQ(filter.expression, c.expression) << "page " << c.page << ": " << c.text.constData();
    }
}

TEST(Search, ExamplesOfEveryPage)
{
    expectFilters({
        {Athletes, "m", "gender = 'M'"},
        {Races, "12", "age = 12"},
        {Races, "105", "number = 105"},
        {Races, "100M", "event = '100M'"},
        {Athletes, "Smi", "surname = 'Smi*'"},
        {Races, "f", "gender = 'F'"},
        {Records, "F", "gender = 'F'"},
        {Events, "f", "event = 'f'"},
        {PBest, "m", "event = 'm'"},
        {Athletes, "19", "age = 19"},
        {Athletes, "20", "number = 20"},
        {Athletes, "1", "age = 1"},
        {Records, "19", "age = 19"},
        {Records, "25", "event = '25'"},
        {Events, "12", "event = '12'"},
        {PBest, "0", "event = '0'"},
        {PBest, "7", "athlete_number = 7"},
        {PBest, "1234", "athlete_number = 1234"},
    });
}

TEST(Search, ExpressionsPassUnchangedOnEveryPage)
{
    for (int page = Races; page <= PBest; ++page) {
        expectFilters({
            {page, "age > 12", "age > 12"},
            {page, "number=7", "number=7"},
            {page, "event <> 'O'Brien'", "event <> 'O'Brien'"},
            {page, "m<", "m<"},
        });
    }
}

TEST(Search, NumbersAreDecimalWithoutLeadingZerosAndTextOtherwise)
{
    expectFilters({
        {Races, "007", "age = 7"},
        {Races, "020", "number = 20"},
        {Races, "+21", "number = 21"},
        {Races, "0", "event = '0'"},
        {Races, "-5", "event = '-5'"},
        {Athletes, "-5", "surname = '-5*'"},
        {Races, " 12", "event = ' 12'"},
        {Races, "12 ", "event = '12 '"},
        {Races, "0x14", "event = '0x14'"},
        {Races, "2147483647", "number = 2147483647"},
        {Races, "2147483648", "event = '2147483648'"},
        {PBest, "99999999999", "event = '99999999999'"},
        {Athletes, " m", "surname = ' m*'"},
        {Athletes, "mf", "surname = 'mf*'"},
    });
}

TEST(Search, TypedApostrophesAreDoubledInsideQuotes)
{
    expectFilters({
        {Athletes, "O'Brien", "surname = 'O''Brien*'"},
        {Races, "'", "event = ''''"},
        {Events, "Men's 100", "event = 'Men''s 100'"},
        {PBest, "a''b", "event = 'a''''b'"},
    });
}

TEST(Search, EmptyTextRemovesTheFilterAndComsHasNoSearch)
{
    for (int page = Races; page <= PBest; ++page) {
        const SearchFilter filter = searchFilter(page, "");
        EXPECT_EQ(filter.action, SearchFilter::Action::Remove) << page;
        EXPECT_TRUE(filter.expression.isEmpty()) << page;
    }
    for (int page : {int(Coms), 6, -1}) {
        EXPECT_EQ(searchFilter(page, "12").action, SearchFilter::Action::None) << page;
        EXPECT_EQ(searchFilter(page, "").action, SearchFilter::Action::None) << page;
    }
}

TEST(Search, HintsOfEveryPage)
{
    EXPECT_EQ(searchHint(Races), QStringLiteral("Enter an age, gender, event, race number or search pattern"));
    EXPECT_EQ(searchHint(Athletes), QStringLiteral("Enter an age, gender, number, surname or search pattern"));
    EXPECT_EQ(searchHint(Records), QStringLiteral("Enter an age, gender, event, or search pattern"));
    EXPECT_EQ(searchHint(Events), QStringLiteral("Enter an event, or search pattern"));
    EXPECT_EQ(searchHint(PBest), QStringLiteral("Enter an event, number, or search pattern"));
    EXPECT_TRUE(searchHint(Coms).isEmpty());
}

} // namespace
