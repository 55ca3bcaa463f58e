#include "store/Filter.h"

#include "store/Dialect.h"

#include <QStringList>

// How typed values meet the fields, as a person reading the expression
// expects:
// - A text field compared with a number compares with the number's text as
//   typed: event = 100 finds the event "100". Order comparisons of a text
//   field stay text comparisons (event < 200 sorts "1500M" before it).
// - A number field compared with a quoted number compares numerically:
//   number = '105' finds 105. A quoted text that is no number is refused,
//   since it could never match; a yes/no field also takes 'true'/'false'.
// - TRUE and FALSE are 1 and 0, for the yes/no and number fields.
// - A date-time field compares with the stored text "yyyy-mm-dd hh:mm:ss",
//   so datetime >= '2024-05-01' finds that day and later; a number is a day
//   count and is turned into that text.
// - A quoted text ending in * with = (or <>) is a prefix match (or its
//   negation). A number field matches on the text of its number
//   (number = '10*' finds 10, 105, 1002). With <, >, <=, >= and anywhere
//   but at the end, * is an ordinary character.
// - = NULL and <> NULL mean IS NULL and IS NOT NULL. Other comparisons
//   follow SQL: a row whose field is null matches neither = nor <>.
// - The case-insensitive option folds both sides of every text-field
//   comparison with the engine's own folding, so both sides fold alike.
//
// The prefix match does not use LIKE: SQLite's LIKE ignores ASCII case
// whatever the option says and treats % and _ as wildcards. substr and
// length count characters on both sides.

namespace {

constexpr int maxNesting = 100;

enum class Tok { End, Name, Number, Text, Op, Open, Close, And, Or, Not, Is, Null, True, False };

struct Token {
    Tok kind = Tok::End;
    QString text;      // a name without brackets, a text with its quotes undone, or as typed
    qsizetype pos = 0; // where it starts in the expression, from 0
    qsizetype end = 0; // just after it
};

QString position(qsizetype index)
{
    return QString::number(index + 1);
}

[[noreturn]] void fail(const QString& expression, const QString& what)
{
    // A search text that runs on (a pasted block) is quoted by its start
    // and length; the position in the message still points into the whole.
    constexpr qsizetype longestQuoted = 200;
    const QString quoted = expression.size() <= longestQuoted
        ? QStringLiteral("\"") + expression + QStringLiteral("\"")
        : QStringLiteral("\"%1...\" (%2 characters)").arg(expression.left(longestQuoted)).arg(expression.size());
    throw EFilterError(QStringLiteral("Invalid filter ") + quoted + QStringLiteral(": ") + what);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// [+-] digits [. digits] | [+-] . digits
bool isNumberText(QStringView s)
{
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    for (; i < s.size() && isAsciiDigit(s[i]); ++i)
        ++digits;
    if (i < s.size() && s[i] == u'.')
        for (++i; i < s.size() && isAsciiDigit(s[i]); ++i)
            ++digits;
    return digits > 0 && i == s.size();
}

// A null QString binds as SQL NULL; a typed '' is an empty text.
QString boundText(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QVariant numberValue(const QString& text)
{
    if (!text.contains(u'.')) {
        bool ok = false;
        const qlonglong n = text.toLongLong(&ok);
        if (ok)
            return n;
    }
    return text.toDouble(); // QString reads numbers in the C locale
}

// Cuts the expression into tokens one at a time, so that faults are reported
// in the order a person reads them.
class Lexer {
public:
    explicit Lexer(const QString& expression)
        : m_s(expression)
    {
    }

    Token next();

private:
    QChar at(qsizetype i) const { return i < m_s.size() ? m_s[i] : QChar(); }
    bool numberStartsAt(qsizetype i) const;
    Token make(Tok kind, qsizetype start, qsizetype end, const QString& text);
    Token word(qsizetype start);
    Token bracketName(qsizetype start);
    Token text(qsizetype start);
    Token number(qsizetype start);

    const QString& m_s;
    qsizetype m_i = 0;
};

Token Lexer::make(Tok kind, qsizetype start, qsizetype end, const QString& text)
{
    m_i = end;
    return {kind, text, start, end};
}

Token Lexer::next()
{
    while (m_i < m_s.size() && m_s[m_i].isSpace())
        ++m_i;
    const qsizetype start = m_i;
    if (start >= m_s.size())
        return make(Tok::End, start, start, QString());
    const QChar c = m_s[start];
    const QChar c1 = at(start + 1);
    if (c == u'(')
        return make(Tok::Open, start, start + 1, QStringLiteral("("));
    if (c == u')')
        return make(Tok::Close, start, start + 1, QStringLiteral(")"));
    if (c == u'=')
        return make(Tok::Op, start, start + (c1 == u'=' ? 2 : 1), QStringLiteral("="));
    if (c == u'<' && (c1 == u'>' || c1 == u'='))
        return make(Tok::Op, start, start + 2, m_s.mid(start, 2));
    if (c == u'<' || c == u'>')
        return c1 == u'=' ? make(Tok::Op, start, start + 2, QStringLiteral(">="))
                          : make(Tok::Op, start, start + 1, QString(c));
    if (c == u'!' && c1 == u'=')
        return make(Tok::Op, start, start + 2, QStringLiteral("<>"));
    if (c == u'[')
        return bracketName(start);
    if (c == u'\'')
        return text(start);
    if (c == u'"')
        fail(m_s, QStringLiteral("texts are written between single quotes ('Smith'), not double quotes (position ")
                      + position(start) + QStringLiteral(")"));
    if (numberStartsAt(start))
        return number(start);
    if (c.isLetter() || c == u'_')
        return word(start);
    fail(m_s, QStringLiteral("unexpected character '") + c + QStringLiteral("' at position ") + position(start));
}

bool Lexer::numberStartsAt(qsizetype i) const
{
    if (at(i) == u'+' || at(i) == u'-')
        ++i;
    return isAsciiDigit(at(i)) || (at(i) == u'.' && isAsciiDigit(at(i + 1)));
}

Token Lexer::number(qsizetype start)
{
    qsizetype i = start + 1;
    while (isAsciiDigit(at(i)))
        ++i;
    if (at(i) == u'.')
        for (++i; isAsciiDigit(at(i));)
            ++i;
    if (isWordChar(at(i)) || at(i) == u'.') {
        while (isWordChar(at(i)) || at(i) == u'.')
            ++i;
        const QString typed = m_s.mid(start, i - start);
        fail(m_s, QStringLiteral("'") + typed + QStringLiteral("' at position ") + position(start)
                      + QStringLiteral(" is not a number; texts are written between single quotes: '") + typed
                      + QStringLiteral("'"));
    }
    return make(Tok::Number, start, i, m_s.mid(start, i - start));
}

Token Lexer::word(qsizetype start)
{
    qsizetype i = start;
    while (isWordChar(at(i)))
        ++i;
    const QString w = m_s.mid(start, i - start);
    static const struct {
        const char* word;
        Tok kind;
    } keywords[] = {{"AND", Tok::And}, {"OR", Tok::Or},     {"NOT", Tok::Not},    {"IS", Tok::Is},
                    {"NULL", Tok::Null}, {"TRUE", Tok::True}, {"FALSE", Tok::False}};
    for (const auto& k : keywords)
        if (w.compare(QLatin1String(k.word), Qt::CaseInsensitive) == 0)
            return make(k.kind, start, i, w);
    return make(Tok::Name, start, i, w);
}

Token Lexer::bracketName(qsizetype start)
{
    const qsizetype close = m_s.indexOf(u']', start + 1);
    if (close < 0)
        fail(m_s, QStringLiteral("the field name opened with [ at position ") + position(start)
                      + QStringLiteral(" has no closing ]"));
    const QString name = m_s.mid(start + 1, close - start - 1).trimmed();
    if (name.isEmpty())
        fail(m_s, QStringLiteral("the brackets at position ") + position(start) + QStringLiteral(" hold no field name"));
    return make(Tok::Name, start, close + 1, name);
}

Token Lexer::text(qsizetype start)
{
    QString value;
    for (qsizetype i = start + 1;;) {
        if (i >= m_s.size())
            fail(m_s, QStringLiteral("unterminated text: the quote at position ") + position(start)
                          + QStringLiteral(" is never closed (a quote inside a text is written twice: '')"));
        if (m_s[i] == u'\'') {
            if (at(i + 1) == u'\'') {
                value += u'\'';
                i += 2;
                continue;
            }
            return make(Tok::Text, start, i + 1, value);
        }
        value += m_s[i];
        ++i;
    }
}

// Recursive descent with the usual precedence: NOT above AND above OR.
// Every compound part is written in parentheses, so the condition keeps its
// meaning wherever the dataset puts it.
class Parser {
public:
    Parser(const QString& expression, const QList<FilterField>& fields, bool caseInsensitive)
        : m_expression(expression)
        , m_fields(fields)
        , m_caseInsensitive(caseInsensitive)
        , m_lexer(expression)
    {
    }

    FilterCondition parse();

private:
    QString anyOf(int depth);
    QString allOf(int depth);
    QString term(int depth);
    QString comparison();
    QString compare(const FilterField& field, const QString& column, const QString& op, const Token& value);
    QVariant operand(const FilterField& field, const Token& value);
    const FilterField& field(const Token& name);
    void advance();
    QString describe(const Token& t) const;
    QString describeAt(const Token& t) const;
    [[noreturn]] void expected(const QString& what, const QString& after, const QString& hint = QString());
    [[noreturn]] void unexpectedAfterCondition(const QString& mayFollow);

    const QString& m_expression;
    const QList<FilterField>& m_fields;
    bool m_caseInsensitive;
    Lexer m_lexer;
    Token m_token;    // the one being looked at
    Token m_previous; // the one before it
    QVariantList m_values;
};

void Parser::advance()
{
    m_previous = m_token;
    m_token = m_lexer.next();
}

// A token as typed; a text shows its own quotes.
QString Parser::describe(const Token& t) const
{
    if (t.kind == Tok::End)
        return QStringLiteral("the end of the expression");
    const QString typed = m_expression.mid(t.pos, t.end - t.pos);
    return t.kind == Tok::Text ? typed : QLatin1Char('\'') + typed + QLatin1Char('\'');
}

QString Parser::describeAt(const Token& t) const
{
    return t.kind == Tok::End ? describe(t) : describe(t) + QStringLiteral(" at position ") + position(t.pos);
}

void Parser::expected(const QString& what, const QString& after, const QString& hint)
{
    fail(m_expression, what + QStringLiteral(" is expected") + after + QStringLiteral(" at position ")
                           + position(m_token.pos) + QStringLiteral(", but there is ") + describe(m_token) + hint);
}

void Parser::unexpectedAfterCondition(const QString& mayFollow)
{
    QString what = QStringLiteral("unexpected ") + describeAt(m_token) + QStringLiteral(" after a complete condition (")
        + mayFollow + QStringLiteral(" may follow one)");
    // The typical cause: a quote typed inside a text ends the text early.
    if (m_previous.kind == Tok::Text && m_token.pos == m_previous.end
        && (m_token.kind == Tok::Name || m_token.kind == Tok::Number || m_token.kind == Tok::Text))
        what += QStringLiteral("; a quote inside a text is written twice ('')");
    fail(m_expression, what);
}

FilterCondition Parser::parse()
{
    advance();
    if (m_token.kind == Tok::End)
        return {};
    const QString sql = anyOf(0);
    if (m_token.kind == Tok::Close)
        fail(m_expression, QStringLiteral("the ')' at position ") + position(m_token.pos)
                               + QStringLiteral(" closes no '('"));
    if (m_token.kind != Tok::End)
        unexpectedAfterCondition(QStringLiteral("only AND or OR"));
    return {sql, m_values};
}

QString Parser::anyOf(int depth)
{
    QStringList parts{allOf(depth)};
    while (m_token.kind == Tok::Or) {
        advance();
        parts << allOf(depth);
    }
    return parts.size() == 1 ? parts.front() : QLatin1Char('(') + parts.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

QString Parser::allOf(int depth)
{
    QStringList parts{term(depth)};
    while (m_token.kind == Tok::And) {
        advance();
        parts << term(depth);
    }
    return parts.size() == 1 ? parts.front() : QLatin1Char('(') + parts.join(QStringLiteral(" AND ")) + QLatin1Char(')');
}

QString Parser::term(int depth)
{
    // A bound on nesting keeps a pathological expression from exhausting the stack.
    if (depth >= maxNesting)
        fail(m_expression, QStringLiteral("NOT and parentheses are nested more than %1 deep at position %2")
                               .arg(QString::number(maxNesting), position(m_token.pos)));
    if (m_token.kind == Tok::Not) {
        advance();
        return QStringLiteral("NOT (") + term(depth + 1) + QLatin1Char(')');
    }
    if (m_token.kind == Tok::Open) {
        const Token open = m_token;
        advance();
        const QString inner = anyOf(depth + 1);
        if (m_token.kind == Tok::End)
            fail(m_expression, QStringLiteral("a closing parenthesis is missing for the '(' at position ")
                                   + position(open.pos));
        if (m_token.kind != Tok::Close)
            unexpectedAfterCondition(QStringLiteral("only AND, OR or ')'"));
        advance();
        return inner;
    }
    return comparison();
}

QString Parser::comparison()
{
    if (m_token.kind != Tok::Name)
        expected(QStringLiteral("a field name"), QString());
    const FilterField& f = field(m_token);
    const QString column = f.sql.isEmpty() ? SqlDialect::quoteName(f.name) : f.sql;
    const QString name = m_token.text;
    advance();

    if (m_token.kind == Tok::Is) {
        advance();
        const bool negated = m_token.kind == Tok::Not;
        if (negated)
            advance();
        if (m_token.kind != Tok::Null)
            expected(QStringLiteral("NULL"), QStringLiteral(" after IS"));
        advance();
        return column + (negated ? QStringLiteral(" IS NOT NULL") : QStringLiteral(" IS NULL"));
    }
    if (m_token.kind != Tok::Op)
        expected(QStringLiteral("an operator (=, <>, <, >, <=, >= or IS)"),
                 QStringLiteral(" after the field '") + name + QLatin1Char('\''));
    const Token op = m_token;
    advance();

    const Token value = m_token;
    switch (value.kind) {
    case Tok::Number:
    case Tok::Text:
    case Tok::True:
    case Tok::False:
    case Tok::Null:
        break;
    case Tok::Name:
        expected(QStringLiteral("a value (a number or a quoted text)"),
                 QStringLiteral(" after '") + op.text + QLatin1Char('\''),
                 QStringLiteral("; texts are written between single quotes: '") + value.text + QLatin1Char('\''));
    default:
        expected(QStringLiteral("a value (a number or a quoted text)"), QStringLiteral(" after '") + op.text + QLatin1Char('\''));
    }
    advance();

    if (value.kind == Tok::Null) {
        if (op.text == u"=")
            return column + QStringLiteral(" IS NULL");
        if (op.text == u"<>")
            return column + QStringLiteral(" IS NOT NULL");
        fail(m_expression, QStringLiteral("NULL at position ") + position(value.pos)
                               + QStringLiteral(" can only be compared with = or <>"));
    }
    return compare(f, column, op.text, value);
}

QString Parser::compare(const FilterField& f, const QString& column, const QString& op, const Token& value)
{
    const bool folded = m_caseInsensitive && f.kind == FieldKind::Text;
    const QString placeholder = QStringLiteral("?");
    const QString right = folded ? SqlDialect::caseFolded(placeholder) : placeholder;

    if (value.kind == Tok::Text && value.text.endsWith(u'*') && (op == u"=" || op == u"<>")) {
        const QString prefix = value.text.chopped(1);
        QString subject = f.kind == FieldKind::Text ? column : SqlDialect::asText(column);
        if (folded)
            subject = SqlDialect::caseFolded(subject);
        m_values << boundText(prefix) << boundText(prefix);
        const QString match = QStringLiteral("substr(") + subject + QStringLiteral(", 1, length(") + SqlDialect::asText(placeholder)
                              + QStringLiteral(")) = ") + right;
        return op == u"=" ? match : QStringLiteral("NOT (") + match + QLatin1Char(')');
    }

    m_values << operand(f, value);
    const QString left = folded ? SqlDialect::caseFolded(column) : column;
    return left + QLatin1Char(' ') + op + QLatin1Char(' ') + right;
}

QVariant Parser::operand(const FilterField& f, const Token& value)
{
    const QString fieldName = QString::fromUtf8(f.name);
    const bool truth = value.kind == Tok::True || value.kind == Tok::False;
    if (truth && (f.kind == FieldKind::Text || f.kind == FieldKind::DateTime))
        fail(m_expression, describeAt(value) + QStringLiteral(" compares with yes/no and number fields; '") + fieldName
                               + QStringLiteral("' is not one"));
    if (truth)
        return value.kind == Tok::True ? 1 : 0;

    switch (f.kind) {
    case FieldKind::Text:
        return boundText(value.text); // a number as typed
    case FieldKind::DateTime:
        if (value.kind == Tok::Number)
            return SqlDialect::dayCountToStorage(value.text.toDouble());
        return boundText(value.text);
    default:
        break;
    }

    const QString text = value.text.trimmed();
    if (isNumberText(text))
        return numberValue(text);
    if (f.kind == FieldKind::Boolean) {
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return 1;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return 0;
    }
    fail(m_expression, QStringLiteral("the field '") + fieldName + QStringLiteral("' holds numbers, and ")
                           + describeAt(value) + QStringLiteral(" is not a number"));
}

const FilterField& Parser::field(const Token& name)
{
    for (const FilterField& f : m_fields)
        if (QString::fromUtf8(f.name).compare(name.text, Qt::CaseInsensitive) == 0)
            return f;
    QStringList known;
    for (const FilterField& f : m_fields)
        known << QString::fromUtf8(f.name);
    fail(m_expression, QStringLiteral("unknown field '") + name.text + QStringLiteral("' at position ")
                           + position(name.pos) + QStringLiteral("; the fields here are ")
                           + known.join(QStringLiteral(", ")));
}

} // namespace

QList<FilterField> filterFields(const TableDef& table)
{
    QList<FilterField> fields;
    fields.reserve(table.columns.size());
    for (const ColumnDef& c : table.columns)
        fields.append({c.name, c.kind});
    return fields;
}

FilterCondition parseFilter(const QString& expression, const QList<FilterField>& fields, bool caseInsensitive)
{
    return Parser(expression, fields, caseInsensitive).parse();
}
