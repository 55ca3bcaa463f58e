#pragma once

#include "support/PrintTo.h"

#include <QImage>
#include <QStringList>

#include <vector>

// What a barcode reader reads along one horizontal line of a picture of
// labels: the widths of the bars and spaces along a row of pixels, turned
// into the digits of every Interleaved 2 of 5 symbol found there. Like a
// reader it needs a quiet zone of ten narrow widths on both sides of a
// symbol, reads in either direction (so it takes its narrow width from the
// start or from the stop pattern) and, as the symbology has no check digit,
// accepts any run of whole digit pairs between a start and a stop.
namespace ScanLine {

struct Element {
    bool bar;
    int width;
};

// Bars and spaces along row y, with white beyond both edges of the image.
inline std::vector<Element> elements(const QImage& image, int y)
{
    constexpr int margin = 1 << 20;
    std::vector<Element> runs{{false, margin}};
    for (int x = 0; x < image.width(); ++x) {
        const bool bar = qGray(image.pixel(x, y)) < 128;
        if (runs.back().bar == bar)
            ++runs.back().width;
        else
            runs.push_back({bar, 1});
    }
    if (runs.back().bar)
        runs.push_back({false, margin});
    else
        runs.back().width += margin;
    return runs;
}

// 0 narrow, 1 wide, -1 neither, for a narrow width of unit.
inline int kind(int width, double unit)
{
    if (width >= 0.5 * unit && width < 2 * unit)
        return 0;
    if (width >= 2 * unit && width <= 4 * unit)
        return 1;
    return -1;
}

// The digits of runs[first .. first + count), a whole symbol from its start
// bar to its stop bar, or an empty text when it is none.
inline QString symbol(const std::vector<Element>& runs, std::size_t first, std::size_t count, double unit)
{
    static const char* const patterns[10]
        = {"00110", "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "01010"};
    const auto at = [&](std::size_t i) { return kind(runs[first + i].width, unit); };
    if (runs[first - 1].width < 10 * unit || runs[first + count].width < 10 * unit)
        return {};
    for (std::size_t i = 0; i < 4; ++i)
        if (at(i) != 0)
            return {};
    if (at(count - 3) != 1 || at(count - 2) != 0 || at(count - 1) != 0)
        return {};
    const auto digit = [&](std::size_t from) -> int {
        QByteArray pattern;
        for (std::size_t k = 0; k < 5; ++k) {
            const int element = at(from + 2 * k);
            if (element < 0)
                return -1;
            pattern += char('0' + element);
        }
        for (int d = 0; d < 10; ++d)
            if (pattern == patterns[d])
                return d;
        return -1;
    };
    QString digits;
    for (std::size_t pair = 4; pair + 3 < count; pair += 10) {
        const int bars = digit(pair);
        const int spaces = digit(pair + 1);
        if (bars < 0 || spaces < 0)
            return {};
        digits += QChar(u'0' + bars);
        digits += QChar(u'0' + spaces);
    }
    return digits;
}

// Every symbol that a line along row y of image reads, left to right.
inline QStringList read(const QImage& image, int y)
{
    const std::vector<Element> runs = elements(image, y);
    QStringList found;
    // A symbol is 4 start elements, 10 per digit pair and 3 stop elements,
    // each bar with a space between.
    for (std::size_t first = 1; first + 17 < runs.size(); first += 2) {
        for (std::size_t count = 17; first + count < runs.size(); count += 10) {
            const double fromStart
                = (runs[first].width + runs[first + 1].width + runs[first + 2].width + runs[first + 3].width) / 4.0;
            const double fromStop = (runs[first + count - 3].width / 3.0 + runs[first + count - 2].width
                                     + runs[first + count - 1].width)
                                    / 3.0;
            for (const double unit : {fromStart, fromStop}) {
                const QString digits = symbol(runs, first, count, unit);
                if (!digits.isEmpty()) {
                    found << digits;
                    break;
                }
            }
        }
    }
    return found;
}

} // namespace ScanLine
