#include "barcode/LabelGeometry.h"

#include "store/Exception.h"

#include <limits>

namespace {

bool fitsDots(double dots)
{
    return dots >= double(std::numeric_limits<qint32>::min()) && dots <= double(std::numeric_limits<qint32>::max());
}

} // namespace

QRect LabelPlace::rect() const
{
    return QRect(left, top, right - left, bottom - top);
}

qint64 labelDots(qint32 units)
{
    // Integer division truncates toward zero, as the scaling asks.
    return qint64(units) * 15 / 2;
}

void checkLabelLayout(const LabelLayout& layout)
{
    if (layout.columns < 1) {
        throw Exception(QStringLiteral("Barcodes Across Page must be at least 1, not %1").arg(layout.columns));
    }
    if (layout.rows < 1)
        throw Exception(QStringLiteral("Barcodes Down Page must be at least 1, not %1").arg(layout.rows));

    // Every edge is linear in the column and row number, so the first and
    // the last label of a page bound them all. Doubles hold these sums
    // exactly enough to tell whether they leave the 32-bit range.
    const double lastLeft = double(labelDots(layout.leftMargin))
                            + double(layout.columns - 1) * double(labelDots(layout.horizontalPitch));
    const double lastTop
        = double(labelDots(layout.topMargin)) + double(layout.rows - 1) * double(labelDots(layout.verticalPitch));
    const double width = double(labelDots(layout.width));
    const double height = double(labelDots(layout.height));
    const double firstLeft = double(labelDots(layout.leftMargin));
    const double firstTop = double(labelDots(layout.topMargin));
    for (const double dots : {firstLeft, firstLeft + width, lastLeft, lastLeft + width, firstTop,
                              firstTop + height, lastTop, lastTop + height, width, height}) {
        if (!fitsDots(dots))
            throw Exception(QStringLiteral("The label sheet does not fit on a page: its sizes, margins or pitches are too large"));
    }
}

LabelPlace labelPlace(const LabelLayout& layout, qint32 index)
{
    checkLabelLayout(layout);
    if (index < 0)
        throw Exception(QStringLiteral("There is no label number %1").arg(index));

    const qint64 perPage = qint64(layout.columns) * layout.rows;
    LabelPlace place;
    place.page = qint32(index / perPage);
    place.column = index % layout.columns;
    place.row = qint32((index / layout.columns) % layout.rows);
    place.left = qint32(labelDots(layout.leftMargin) + place.column * labelDots(layout.horizontalPitch));
    place.top = qint32(labelDots(layout.topMargin) + place.row * labelDots(layout.verticalPitch));
    place.right = qint32(place.left + labelDots(layout.width));
    place.bottom = qint32(place.top + labelDots(layout.height));
    return place;
}

qint32 labelPageCount(const LabelLayout& layout, qint32 labelCount)
{
    checkLabelLayout(layout);
    const qint64 perPage = qint64(layout.columns) * layout.rows;
    if (labelCount <= 0)
        return 1;
    return qint32((labelCount + perPage - 1) / perPage);
}
