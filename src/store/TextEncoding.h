#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit texts that reach the program from outside (race texts from the
// timer unit, lines of a track data file) are UTF-8 when they are valid
// UTF-8 and Windows-1252 otherwise, the code page the timer unit's and the
// results system's PCs write.
namespace TextEncoding {

QString fromWindows1252(const QByteArray& bytes);
// UTF-8 when the bytes are valid UTF-8, Windows-1252 when not.
QString decode8Bit(const QByteArray& bytes);
// The same text as UTF-8 bytes: unchanged when already valid UTF-8.
QByteArray toUtf8(const QByteArray& bytes);

// Throws EConvertError naming the field when a text read from outside holds
// a NUL byte: no text column can store one, and a text file has none, so
// it is refused rather than cut where the NUL stands.
void refuseNulByte(const QByteArray& text, const QString& field);

} // namespace TextEncoding
