#include "browse/Search.h"

#include "store/Miscl.h"

#include <limits>

namespace {

constexpr int racesPage = 0;
constexpr int athletesPage = 1;
constexpr int recordsPage = 2;
constexpr int eventsPage = 3;
constexpr int pbestPage = 4;

// The text as a decimal integer with an optional sign, or 0 when it is not
// one: blanks, other characters and numbers past 32 bits make it text.
qint64 typedNumber(const QByteArray& text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return 0;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<qint32>::max())
            return 0;
    }
    return negative ? -value : value;
}

bool holdsOperator(const QByteArray& text)
{
    return text.contains('=') || text.contains('<') || text.contains('>');
}

SearchFilter apply(const QByteArray& expression)
{
    return SearchFilter{SearchFilter::Action::Apply, expression};
}

SearchFilter textIs(const char* field, const QByteArray& text, const char* suffix = "")
{
    return apply(QByteArray(field) + " = '" + Miscl::sqlText(text) + suffix + "'");
}

SearchFilter numberIs(const char* field, qint64 number)
{
    return apply(QByteArray(field) + " = " + QByteArray::number(number));
}

} // namespace

SearchFilter searchFilter(int page, const QByteArray& text)
{
    if (page < 0 || page >= searchPageCount)
        return SearchFilter{};
    if (text.isEmpty())
        return SearchFilter{SearchFilter::Action::Remove, QByteArray()};
    if (holdsOperator(text))
        return apply(text);

    const QByteArray upper = text.toUpper();
    const bool gender = upper == "M" || upper == "F";
    const qint64 number = typedNumber(text);

    switch (page) {
    case racesPage:
    case athletesPage:
        if (gender)
            return textIs("gender", upper);
        if (number >= 20)
            return numberIs("number", number);
        if (number >= 1)
            return numberIs("age", number);
        return page == racesPage ? textIs("event", text) : textIs("surname", text, "*");
    case recordsPage:
        if (gender)
            return textIs("gender", upper);
        // A number of 20 or more is an event name here.
        if (number >= 1 && number <= 19)
            return numberIs("age", number);
        return textIs("event", text);
    case eventsPage:
        return textIs("event", text);
    case pbestPage:
        if (number >= 1)
            return numberIs("athlete_number", number);
        return textIs("event", text);
    default:
        return SearchFilter{};
    }
}

QString searchHint(int page)
{
    switch (page) {
    case racesPage:
        return QStringLiteral("Enter an age, gender, event, race number or search pattern");
    case athletesPage:
        return QStringLiteral("Enter an age, gender, number, surname or search pattern");
    case recordsPage:
        return QStringLiteral("Enter an age, gender, event, or search pattern");
    case eventsPage:
        return QStringLiteral("Enter an event, or search pattern");
    case pbestPage:
        return QStringLiteral("Enter an event, number, or search pattern");
    default:
        return QString();
    }
}
