#pragma once

#include <QRect>

// The layout of a label sheet as the barcode window's boxes and the settings
// file hold it. Sizes and distances are in label units, the counts plain.
struct LabelLayout {
    qint32 height = 50;
    qint32 width = 100;
    bool includeNumber = true;
    qint32 topMargin = 35;
    qint32 leftMargin = 8;
    qint32 verticalPitch = 67;
    qint32 horizontalPitch = 128;
    qint32 columns = 5; // labels across a page
    qint32 rows = 13;   // labels down a page
};

// Where one label goes: its page and place counted from 0, and its rectangle
// in printer dots from the top-left of the printable area. right and bottom
// lie just past the label, so width is right - left.
struct LabelPlace {
    qint32 page = 0;
    qint32 column = 0;
    qint32 row = 0;
    qint32 left = 0;
    qint32 top = 0;
    qint32 right = 0;
    qint32 bottom = 0;

    QRect rect() const;
};

// A label unit is 7.5 printer dots, truncated toward zero whatever the
// printer's resolution: 1/80 inch at 600 dots per inch.
qint64 labelDots(qint32 units);

// Throws Exception when labels cannot be placed: a count across or down
// below 1, or a sheet whose dots run past the printer's coordinates.
void checkLabelLayout(const LabelLayout& layout);

// Label index of a list, filling a row left to right, the rows top to
// bottom, then the next page. Each setting is turned into dots before it is
// multiplied by a column or row number, so with the defaults the second row
// starts 502 dots below the first, not 502.5. Throws as checkLabelLayout.
LabelPlace labelPlace(const LabelLayout& layout, qint32 index);

// The pages that labelCount labels fill; an empty list still prints one
// empty page. Throws as checkLabelLayout.
qint32 labelPageCount(const LabelLayout& layout, qint32 labelCount);
