#include "store/StatementShape.h"

#include <QString>

#include <limits>

namespace {

bool isWordChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$'
        || static_cast<unsigned char>(c) >= 0x80;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The dialect's #yyyy/mm/dd hh:mm# literal, 18 characters, at i.
bool isDateLiteral(const QByteArray& s, qsizetype i)
{
    static const char pattern[] = "#9999/99/99 99:99#";
    if (i + 18 > s.size())
        return false;
    for (int k = 0; k < 18; ++k) {
        const char want = pattern[k];
        const char c = s[i + k];
        if (want == '9' ? !isDigit(c) : c != want)
            return false;
    }
    return true;
}

// A number's value, or an invalid value where taking it is in doubt: past
// 64 bits SQLite reads the literal as a real, and a real is taken only in
// the plain form with at most 15 significant digits (what the system
// writes), whose nearest double reads back as the same 15 digits.
QVariant numberValue(const QByteArray& literal)
{
    const qsizetype point = literal.indexOf('.');
    if (point < 0) {
        bool ok = false;
        const qlonglong n = literal.toLongLong(&ok);
        return ok ? QVariant(n) : QVariant();
    }
    if (point == 0 || point == literal.size() - 1 || literal.indexOf('.', point + 1) >= 0)
        return {};
    qsizetype significant = 0;
    bool leading = true;
    for (const char c : literal) {
        if (c == '.')
            continue;
        if (!isDigit(c))
            return {};
        if (leading && c == '0')
            continue;
        leading = false;
        ++significant;
    }
    if (significant > std::numeric_limits<double>::digits10)
        return {};
    bool ok = false;
    const double d = literal.toDouble(&ok);
    return ok ? QVariant(d) : QVariant();
}

bool isWord(const QByteArray& s, qsizetype from, qsizetype to, const char* word)
{
    return QByteArrayView(s).sliced(from, to - from).compare(QByteArrayView(word), Qt::CaseInsensitive) == 0;
}

} // namespace

bool StatementShape::of(const QByteArray& s, StatementShape& shape)
{
    shape.text.clear();
    shape.values.clear();
    shape.text.reserve(s.size());
    for (qsizetype i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '\'') {
            // A text right after a word character is not a plain text
            // (X'0A' is a blob): it stays as written.
            const bool plain = i == 0 || !isWordChar(s[i - 1]);
            qsizetype j = i + 1;
            bool doubled = false;
            for (;; ++j) {
                j = s.indexOf('\'', j);
                if (j < 0)
                    return false; // unclosed: the engine says what is wrong
                if (j + 1 < s.size() && s[j + 1] == '\'') {
                    doubled = true;
                    ++j;
                    continue;
                }
                break;
            }
            if (plain) {
                QByteArray value = s.mid(i + 1, j - i - 1);
                if (doubled)
                    value.replace("''", "'");
                shape.text += '?';
                shape.values << QString::fromUtf8(value);
            } else {
                shape.text += QByteArrayView(s).sliced(i, j + 1 - i);
            }
            i = j + 1;
            continue;
        }
        if (c == '[') {
            const qsizetype close = s.indexOf(']', i + 1);
            const qsizetype end = close < 0 ? s.size() : close + 1;
            shape.text += QByteArrayView(s).sliced(i, end - i);
            i = end;
            continue;
        }
        if (c == '#' && isDateLiteral(s, i)) {
            shape.text += QByteArrayView(s).sliced(i, 18);
            i += 18;
            continue;
        }
        if (c == '"' || c == '?' || c == ':' || c == '@' || c == '$')
            return false;
        if ((c == '-' && i + 1 < s.size() && s[i + 1] == '-') || (c == '/' && i + 1 < s.size() && s[i + 1] == '*'))
            return false;
        if (isWordChar(c)) {
            qsizetype end = i;
            while (end < s.size()) {
                const char e = s[end];
                // A number's exponent sign belongs to it: 1e-5 is one token.
                if (isDigit(c) && (e == '+' || e == '-') && (s[end - 1] == 'e' || s[end - 1] == 'E'))
                    ++end;
                else if (isWordChar(e) || (isDigit(c) && e == '.'))
                    ++end;
                else
                    break;
            }
            if (isWord(s, i, end, "order") || isWord(s, i, end, "group"))
                return false;
            // A number standing on its own; a word, or a number run into
            // a word or after a point (t.5, 1e5, 0x1F), stays as written.
            const QByteArray token = s.mid(i, end - i);
            const QVariant value = isDigit(c) && (i == 0 || s[i - 1] != '.') ? numberValue(token) : QVariant();
            if (value.isValid()) {
                shape.text += '?';
                shape.values << value;
            } else {
                shape.text += token;
            }
            i = end;
            continue;
        }
        shape.text += c;
        ++i;
    }
    return true;
}
