#pragma once

#include <QByteArray>
#include <QImage>

#include <span>

// The Interleaved 2 of 5 encoder. It draws the bars of a digit string at one
// pixel per module into a monochrome bitmap, white background and black
// bars, without check digit, quiet zone or readable text: scaling, placing
// and labelling the symbol are the barcode window's business.
//
// Every barcode of the run, displayed or printed, is drawn into the bitmap of
// the one instance that instance() gives; each caller finishes with bitmap
// before the next Encode.
class BARCODE {
public:
    // One flag per module: 1 a bar (black), 0 a space (white).
    using ModuleRun = std::span<const quint8>;

    // Longer numbers are refused. The limit is that of the bitmaps the
    // symbol has always been drawn into, and far beyond any bib number.
    static constexpr qsizetype maxDigits = 198;
    static constexpr int height = 50;

    static BARCODE& instance();

    BARCODE();

    // Draws the symbol of number, a string of the digits 0 to 9, into
    // bitmap, which becomes 9 x L + 9 by 50 pixels for L digits; an odd
    // count is made even with a "0" at the end, so 123 draws as 1230.
    // Throws Exception naming the text when it holds anything but digits or
    // more than maxDigits of them; bitmap is then left as it was.
    void Encode(const QByteArray& number);

    // Fills the whole bitmap with the background.
    void ClearBitmap();

    // Draws run at nextColumn and moves nextColumn past it.
    void DrawPattern(ModuleRun run);

    // Draws one digit pair: the five bars carry first, the five spaces
    // between them carry second.
    void DrawPair(char first, char second);

    QImage bitmap;
    qint32 nextColumn = 0;
};
