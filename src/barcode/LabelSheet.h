#pragma once

#include "barcode/LabelGeometry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QImage;
class QPainter;
class QRect;

// Shorter numbers get "0" in front up to this many digits, so that every
// label of a sheet carries a symbol of at least this width.
constexpr qsizetype labelNumberDigits = 8;

// The 8-bit number that the barcode of text encodes: text with "0" put in
// front until it has labelNumberDigits characters, and a longer text of odd
// length with one "0" in front. The symbol holds digit pairs, and the
// encoder would make an odd count even with a "0" at the end, so that
// 123456789 would scan as 1234567890; with the "0" in front it scans as
// 0123456789, the athlete's own number.
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

// Draws one label into rect with painter. Without text the bars (the
// encoder's bitmap) are stretched to fill rect exactly. With text, a white
// band that runs the label's full width holds the text at its left, in the
// painter's font, and the bars fill the rest of rect below it, whole: any
// horizontal line across the label then crosses all the bars or none of
// them, so a reader can never take part of the symbol for another number.
// The band is the font's height, at most maxBandHeight (a font too tall for
// it is drawn smaller until it fits); the text is cut at the label's right
// edge rather than run onto a neighbour.
void drawLabel(QPainter& painter, const QRect& rect, const QImage& bars, const QString& text, int maxBandHeight);

// Draws the label sheets of lines with painter, which is already active on
// the first page: label i of the list goes into the rectangle labelPlace
// gives, by drawLabel, with the line's text in Arial 10 points when
// layout.includeNumber is set; the number's band takes at most half the
// label. newPage is called to begin each further page; an empty list draws
// nothing and so leaves one empty page. Answers the number of pages drawn
// on, the first included.
//
// Throws Exception before anything is drawn when the layout cannot be
// placed or a line cannot be encoded; an exception that newPage raises is
// passed on.
int printLabelSheets(QPainter& painter, const std::function<void()>& newPage, const QStringList& lines,
                      const LabelLayout& layout);

// The word after a print: "Printed 70 labels on 2 pages", "Printed 1 label
// on 1 page"; a list of no numbers says that nothing was printed.
QString printedSummary(qint64 labels, int pages);
