#pragma once

#include <QByteArray>
#include <QList>

// The race texts of a file: races separated by blank lines (lines of blanks
// only), each kept byte for byte with the line ends it has in the file (CR,
// LF or CR LF). A timer unit ends every text with a line end, so a last race
// that has none at the end of the file gets CR LF.
QList<QByteArray> splitRaceFile(const QByteArray& contents);
