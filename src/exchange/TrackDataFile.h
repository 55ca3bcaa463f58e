#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The track data file as a whole: its bytes decoded to text and cut into
// lines, each line an 8-bit text (UTF-8) ready for the record classes.
namespace TrackDataFile {

// A UTF-16 byte-order mark selects that encoding and is dropped; throws
// ETrackDataLine for a file marked as UTF-16 that is not. Any other file is
// decoded line by line (a UTF-8 mark dropped first): a line is UTF-8 when
// it is valid UTF-8, and otherwise Windows-1252, which is what spreadsheet
// programs write on the systems that prepare the meet's data.
QString decode(const QByteArray& bytes);

// Lines end at CR LF, a lone LF or a lone CR; a break at the very end adds no
// empty line. Lines are given unchanged, untrimmed, counted from 0.
QList<QByteArray> splitLines(const QString& text);

// Reads and decodes the whole file. Throws Exception naming the file when it
// cannot be read.
QList<QByteArray> read(const QString& path);

} // namespace TrackDataFile
