#pragma once

#include "barcode/LabelGeometry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QPainter;

// Shorter numbers get "0" in front up to this many digits, so that every
// label of a sheet carries a symbol of at least this width.
constexpr qsizetype labelNumberDigits = 8;

// The 8-bit number that the barcode of text encodes: text with "0" put in
// front until it has labelNumberDigits characters; longer text is unchanged.
QByteArray paddedNumber(const QString& text);

// What stops text from being encoded, starting with a lower-case verb
// ("holds ...", "has ..."); empty when it can be. Only the digits 0 to 9
// are encoded, and at most BARCODE::maxDigits of them; an empty text is
// allowed and encodes as 00000000.
QString numberFault(const QString& text);

// The lines of the number list as the window's multi-line box holds them,
// one number a line; a final empty line is not counted.
QStringList numberLines(const QString& text);

// Throws Exception naming the first line (counted from 1) and its text when
// a line cannot be encoded. Checked before a print document begins, so that
// a bad list never leaves one half printed.
void checkNumberLines(const QStringList& lines);

// Draws the label sheets of lines with painter, which is already active on
// the first page: label i of the list goes into the rectangle labelPlace
// gives, the barcode bitmap stretched to fill it exactly, and when
// layout.includeNumber is set the line's text over its top-left corner in
// Arial 10 points on white. newPage is called to begin each further page;
// an empty list draws nothing and so leaves one empty page.
//
// Throws Exception before anything is drawn when the layout cannot be
// placed or a line cannot be encoded; an exception that newPage raises is
// passed on.
void printLabelSheets(QPainter& painter, const std::function<void()>& newPage, const QStringList& lines,
                      const LabelLayout& layout);
