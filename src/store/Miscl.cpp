#include "store/Miscl.h"

#include "store/Exception.h"

#include <cmath>
#include <cstdlib>
#include <limits>

using Miscl::isDigit;

namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

int hexDigit(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The integer of text, or false when it is not one. The value is gathered
// in 64 bits so that one past the 32-bit range is still seen as too large.
bool readInteger(const QByteArray& text, int& result)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == '$' || text[i] == 'x')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && text[i + 1] == 'x') {
        base = 16;
        i += 2;
    }
    if (i == n)
        return false;
    const qint64 limit = negative ? qint64(std::numeric_limits<int>::max()) + 1 : std::numeric_limits<int>::max();
    qint64 value = 0;
    for (; i < n; ++i) {
        const int digit = base == 16 ? hexDigit(text[i]) : (isDigit(text[i]) ? text[i] - '0' : -1);
        if (digit < 0)
            return false;
        value = value * base + digit;
        if (value > limit)
            return false;
    }
    result = int(negative ? -value : value);
    return true;
}

// Whether text is exactly [sign] digits [. digits] [e [sign] digits], with at
// least one digit before the exponent. strtod alone would also take blanks,
// hexadecimal, "inf" and "nan".
bool isDecimalNumber(const QByteArray& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        qsizetype exponentDigits = 0;
        while (i < n && isDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == n;
}

// A byte that continues a UTF-8 character rather than starting one.
bool continuesCharacter(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The byte offset of the character that starts after skipping `characters`
// characters from `from`, or the end of the text.
qsizetype byteAfter(const QByteArray& text, qsizetype from, qint64 characters)
{
    qsizetype at = from;
    while (at < text.size() && characters > 0) {
        ++at;
        while (at < text.size() && continuesCharacter(text[at]))
            ++at;
        --characters;
    }
    return at;
}

QByteArray stripTrailingZeros(QByteArray digits)
{
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);
    return digits;
}

} // namespace

namespace Miscl {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

QByteArray trim(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QByteArray trimLeft(const QByteArray& text)
{
    qsizetype begin = 0;
    while (begin < text.size() && isBlank(text[begin]))
        ++begin;
    return text.mid(begin);
}

QByteArray substring(const QByteArray& text, int start, int count)
{
    if (count <= 0 || start > text.size())
        return {};
    if (start < 1)
        start = 1;
    return text.mid(start - 1, count);
}

int characterCount(const QByteArray& text)
{
    int n = 0;
    for (const char c : text)
        n += continuesCharacter(c) ? 0 : 1;
    return n;
}

QByteArray columns(const QByteArray& text, int start, int count)
{
    if (count <= 0)
        return {};
    if (start < 1)
        start = 1;
    const qsizetype begin = byteAfter(text, 0, start - 1);
    return text.mid(begin, byteAfter(text, begin, count) - begin);
}

int position(const QByteArray& piece, const QByteArray& text)
{
    if (piece.isEmpty())
        return 0;
    return int(text.indexOf(piece)) + 1;
}

void deleteText(QByteArray& text, int start, int count)
{
    if (start < 1 || start > text.size() || count <= 0)
        return;
    text.remove(start - 1, count);
}

QByteArray quotedValue(const QByteArray& text, const QByteArray& quote)
{
    constexpr qsizetype longestQuoted = 40;
    if (text.size() <= longestQuoted)
        return quote + text + quote;
    return quote + text.left(longestQuoted) + "..." + quote + " (" + QByteArray::number(text.size()) + " characters)";
}

int toInteger(const QByteArray& text)
{
    int value = 0;
    if (!readInteger(text, value))
        throw EConvertError(quotedValue(text, "''") + " is not a valid integer value");
    return value;
}

int toIntegerOrDefault(const QByteArray& text, int fallback)
{
    int value = 0;
    return readInteger(text, value) ? value : fallback;
}

double toFloat(const QByteArray& text)
{
    if (isDecimalNumber(text)) {
        // QByteArray reads the point whatever the process locale says.
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (ok && std::isfinite(value))
            return value;
    }
    throw EConvertError(quotedValue(text) + " is not a valid floating point value");
}

QByteArray integerText(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray floatText(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";

    // Most values (every time and performance) are written without an
    // exponent; there the general form with 15 significant digits is this
    // text already, and writing it is the costly part of a large export.
    // Whatever comes out with an exponent takes the long way below, which
    // sets the bounds of the exponent form itself.
    if (const double magnitude = std::fabs(value); magnitude >= 1e-4 && magnitude < 1e14) {
        QByteArray general = QByteArray::number(value, 'g', 15);
        if (!general.contains('e'))
            return general;
    }

    // Rounded to 15 significant digits first: the exponent of the rounded
    // value decides the form (999999999999999.9 is 1E15).
    // QByteArray writes "d.dddddddddddddde+XX" with a point in any locale.
    const QByteArray scientific = QByteArray::number(value, 'e', 14);
    const qsizetype e = scientific.indexOf('e');
    const bool negative = scientific.startsWith('-');
    const qsizetype mantissaStart = negative ? 1 : 0;
    // 15 digits, without the point after the first.
    const QByteArray digits = stripTrailingZeros(scientific.mid(mantissaStart, 1)
                                                 + scientific.mid(mantissaStart + 2, e - mantissaStart - 2));
    const int exponent = std::atoi(scientific.constData() + e + 1);
    const QByteArray sign = negative ? QByteArray("-") : QByteArray();

    if (exponent >= 15 || exponent < -5) {
        QByteArray mantissa = digits.left(1);
        if (digits.size() > 1)
            mantissa += '.' + digits.mid(1);
        return sign + mantissa + 'E' + QByteArray::number(exponent);
    }
    if (exponent < 0)
        return sign + "0." + QByteArray(-exponent - 1, '0') + digits;
    const qsizetype whole = exponent + 1;
    if (digits.size() <= whole)
        return sign + digits + QByteArray(whole - digits.size(), '0');
    return sign + digits.left(whole) + '.' + digits.mid(whole);
}

QByteArray nextField(QByteArray& line)
{
    int p = position(",", line);
    if (p == 0)
        p = int(line.size()) + 1;
    const QByteArray field = trim(substring(line, 1, p - 1));
    deleteText(line, 1, p);
    return field;
}

QByteArray nextLine(QByteArray& text)
{
    QByteArray line;
    qsizetype taken = 0;
    while (taken < text.size()) {
        const char c = text[taken++];
        if (c == '\r' || c == '\n') {
            if (line.size() > 1)
                break;
            line.clear(); // a line of zero or one character is dropped
        } else {
            line += c;
        }
    }
    text.remove(0, taken);
    return trim(line);
}

QByteArray sqlText(const QByteArray& value)
{
    if (!value.contains('\''))
        return value;
    QByteArray doubled = value;
    return doubled.replace("'", "''");
}

} // namespace Miscl
