#include "barcode/LabelGeometry.h"
#include "store/Exception.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(LabelGeometry, DefaultSheet)
{
    const LabelLayout defaults;
    struct Case {
        qint32 index;
        qint32 page, column, row;
        QRect rect;
    };
    for (const Case& c : {
             Case{0, 0, 0, 0, QRect(QPoint(60, 262), QPoint(810, 637))},
             Case{4, 0, 4, 0, QRect(QPoint(3900, 262), QPoint(4650, 637))},
             Case{5, 0, 0, 1, QRect(QPoint(60, 764), QPoint(810, 1139))},
             Case{64, 0, 4, 12, QRect(QPoint(3900, 6286), QPoint(4650, 6661))},
             Case{65, 1, 0, 0, QRect(QPoint(60, 262), QPoint(810, 637))},
             Case{131, 2, 1, 0, QRect(QPoint(1020, 262), QPoint(1770, 637))},
         }) {
        const LabelPlace place = labelPlace(defaults, c.index);
        EXPECT_EQ(place.page, c.page) << c.index;
        EXPECT_EQ(place.column, c.column) << c.index;
        EXPECT_EQ(place.row, c.row) << c.index;
        // The QPoint pairs above give the corners just past the label.
        EXPECT_EQ(QPoint(place.left, place.top), c.rect.topLeft()) << c.index;
        EXPECT_EQ(QPoint(place.right, place.bottom), c.rect.bottomRight()) << c.index;
        EXPECT_EQ(place.rect().size(), QSize(750, 375)) << c.index;
    }
}

TEST(LabelGeometry, EachSettingIsTruncatedBeforeMultiplying)
{
    LabelLayout layout;
    layout.topMargin = 1;     // 7.5 -> 7
    layout.verticalPitch = 3; // 22.5 -> 22, so the row 10 starts at 7 + 220
    layout.leftMargin = -1;   // -7.5 -> -7, toward zero
    layout.columns = 1;
    layout.rows = 100;
    const LabelPlace place = labelPlace(layout, 10);
    EXPECT_EQ(place.top, 227);
    EXPECT_EQ(place.left, -7);
    EXPECT_EQ(labelDots(67), 502);
}

TEST(LabelGeometry, PagesOfAList)
{
    const LabelLayout defaults;
    EXPECT_EQ(labelPageCount(defaults, 0), 1) << "an empty list prints one empty page";
    EXPECT_EQ(labelPageCount(defaults, 65), 1);
    EXPECT_EQ(labelPageCount(defaults, 66), 2);
    EXPECT_EQ(labelPageCount(defaults, 130), 2);
    EXPECT_EQ(labelPageCount(defaults, 131), 3);
    EXPECT_EQ(labelPlace(defaults, 129).page, 1);
    EXPECT_EQ(labelPlace(defaults, 130).page, 2);
}

TEST(LabelGeometry, RefusesSheetsItCannotPlace)
{
    LabelLayout layout;
    layout.columns = 0;
    try {
        labelPlace(layout, 0);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Barcodes Across Page must be at least 1, not 0"));
    }
    layout.columns = 5;
    layout.rows = 0;
    try {
        labelPageCount(layout, 3);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Barcodes Down Page must be at least 1, not 0"));
    }
    layout.rows = -2;
    EXPECT_THROW(checkLabelLayout(layout), Exception);

    // Dots past the 32-bit range would wrap into a label drawn elsewhere.
    layout.rows = 13;
    layout.horizontalPitch = 300'000'000;
    EXPECT_THROW(checkLabelLayout(layout), Exception);
    layout.horizontalPitch = 128;
    layout.width = std::numeric_limits<qint32>::max();
    EXPECT_THROW(checkLabelLayout(layout), Exception);
    layout.width = 100;
    layout.columns = std::numeric_limits<qint32>::max();
    EXPECT_THROW(checkLabelLayout(layout), Exception);
    layout.columns = 5;
    EXPECT_NO_THROW(checkLabelLayout(layout));
}

} // namespace
