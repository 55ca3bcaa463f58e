#pragma once

// Text and CSV field helpers. Every race text, CSV line, record field and SQL
// statement of the system is an 8-bit text: a QByteArray holding UTF-8.
// Positions count bytes from 1. A blank is any byte from 0 to 32.

#include <QByteArray>

namespace Miscl {

// An ASCII decimal digit, whatever the locale.
bool isDigit(char c);

QByteArray trim(const QByteArray& text);
QByteArray trimLeft(const QByteArray& text);

// Characters from start (1-based), at most count of them. A start beyond the
// length or a count of 0 or less gives an empty text; a start below 1 counts
// as 1 with the count unchanged.
QByteArray substring(const QByteArray& text, int start, int count);

// The fixed columns of the timer unit's lines count characters as the unit
// wrote them, one byte one character: in the UTF-8 text they reach the store
// as, a character of Windows-1252 (a degree sign) takes two or three bytes
// and is still one column. characterCount counts characters; columns is
// substring in characters.
int characterCount(const QByteArray& text);
QByteArray columns(const QByteArray& text, int start, int count);

// 1-based position of the first occurrence of piece, 0 when there is none.
int position(const QByteArray& piece, const QByteArray& text);

// Removes up to count characters from start (1-based) on.
void deleteText(QByteArray& text, int start, int count);

// A value quoted for an error message. A value that runs on (a damaged
// line, a pasted block) is quoted by its first 40 characters and its
// length, so that the box stays one a person can read:
// 'abc' or 'abcd...' (1048576 characters).
QByteArray quotedValue(const QByteArray& text, const QByteArray& quote = "'");

// Decimal integer with optional leading spaces and sign; $, x or 0x introduce
// hexadecimal digits. Throws EConvertError "''%s'' is not a valid integer value".
int toInteger(const QByteArray& text);
int toIntegerOrDefault(const QByteArray& text, int fallback = 0);

// Decimal number with optional sign, fraction and exponent. Throws
// EConvertError "'%s' is not a valid floating point value".
double toFloat(const QByteArray& text);

QByteArray integerText(qint64 value);

// 15 significant digits, a point as decimal separator, no trailing zeros;
// exponent form (1E20) for values of 1E15 or more or below 0.00001.
QByteArray floatText(double value);

// Removes the first comma-separated field and its comma from line and
// returns the field, trimmed. No quoting is recognised.
QByteArray nextField(QByteArray& line);

// Removes characters from text up to and including the line break that ends
// the next line of at least two characters, and returns that line, trimmed.
QByteArray nextLine(QByteArray& text);

// The value with every apostrophe doubled, for placing between the single
// quotes of an SQL statement: no value can then change the statement.
QByteArray sqlText(const QByteArray& value);

} // namespace Miscl
