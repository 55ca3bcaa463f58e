// The Interleaved 2 of 5 encoder and the label geometry on arbitrary numbers
// and settings. A number is refused, or drawn as exactly 9 x L + 9 columns
// (L digits, made even) whose bars this target's own reader decodes back to
// the number. A layout is refused, or places every label at its own column,
// row and page with the sizes asked for.
#include "FuzzStore.h"

#include "barcode/Barcode.h"
#include "barcode/LabelGeometry.h"
#include "store/Exception.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// The widths of the runs of one colour after another along row y, starting
// with a bar; empty when the row does not start with one.
QList<int> runsOf(const QImage& bitmap, int y)
{
    QList<int> runs;
    int colour = 1;
    for (int x = 0; x < bitmap.width(); ++x) {
        const int pixel = bitmap.pixelIndex(x, y);
        if (runs.isEmpty() && pixel != 1)
            return {};
        if (!runs.isEmpty() && pixel == colour) {
            ++runs.last();
        } else {
            runs.append(1);
            colour = pixel;
        }
    }
    return runs;
}

// The digits of a symbol read from its run widths, or "?" where it breaks
// the symbology: narrow 1 module, wide 3, start 1 1 1 1 (bar first), stop
// 3 1 1 (bar first).
QByteArray decode(const QList<int>& runs, int width)
{
    static const char* const patterns[] = {"NNWWN", "WNNNW", "NWNNW", "WWNNN", "NNWNW",
                                           "WNWNN", "NWWNN", "NNNWW", "WNNWN", "NWNWN"};
    const auto digitOf = [](const QByteArray& elements) -> char {
        for (int d = 0; d < 10; ++d)
            if (elements == patterns[d])
                return char('0' + d);
        return '?';
    };
    // Start 4 runs, 10 per digit pair, stop 3.
    if (runs.size() < 7 || (runs.size() - 7) % 10 != 0)
        return "?";
    if (runs.mid(0, 4) != QList<int>{1, 1, 1, 1} || runs.mid(runs.size() - 3) != QList<int>{3, 1, 1})
        return "?";
    int total = 0;
    for (const int r : runs)
        total += r;
    if (total != width)
        return "?";
    QByteArray digits;
    for (qsizetype at = 4; at + 10 <= runs.size() - 3; at += 10) {
        QByteArray bars;
        QByteArray spaces;
        for (int k = 0; k < 5; ++k) {
            for (const auto& [run, into] : {std::pair{runs[at + 2 * k], &bars}, std::pair{runs[at + 2 * k + 1], &spaces}})
                into->append(run == 1 ? 'N' : run == 3 ? 'W' : '!');
        }
        digits += digitOf(bars);
        digits += digitOf(spaces);
    }
    return digits;
}

void checkBarcode(const QByteArray& number)
{
    BARCODE& barcode = BARCODE::instance();
    try {
        barcode.Encode(number);
    } catch (const Exception& e) {
        bool digitsOnly = number.size() <= BARCODE::maxDigits;
        for (const char c : number)
            digitsOnly = digitsOnly && c >= '0' && c <= '9';
        fuzzCheck(!digitsOnly, "a number of digits refused", number);
        fuzzCheck(e.message().contains(QString::fromUtf8(number)) || number.size() > BARCODE::maxDigits
                      || !number.isValidUtf8(),
                  "a refusal that does not name the number", e.message().toUtf8());
        return;
    }
    QByteArray even = number;
    if (even.size() % 2 != 0)
        even.append('0');
    const QImage& bitmap = barcode.bitmap;
    fuzzCheck(bitmap.width() == 9 * even.size() + 9 && bitmap.height() == BARCODE::height, "the bitmap's size",
              number);
    const QList<int> runs = runsOf(bitmap, 0);
    fuzzCheck(decode(runs, bitmap.width()) == even, "the bars do not read back", number);
    for (int y = 1; y < bitmap.height(); ++y)
        fuzzCheck(runsOf(bitmap, y) == runs, "the bars are not the same on every row", number);
}

void checkLabels(const LabelLayout& layout, qint32 index)
{
    LabelPlace place;
    qint32 pages = 0;
    try {
        place = labelPlace(layout, index);
        pages = labelPageCount(layout, index + 1);
    } catch (const Exception& e) {
        fuzzCheck(!e.message().isEmpty(), "a refusal without a message");
        return;
    }
    fuzzCheck(place.column >= 0 && place.column < layout.columns && place.row >= 0 && place.row < layout.rows,
              "a label outside its page's grid");
    const qint64 perPage = qint64(layout.columns) * layout.rows;
    fuzzCheck(qint64(place.page) * perPage + qint64(place.row) * layout.columns + place.column == index,
              "a label in another's place");
    fuzzCheck(pages == place.page + 1, "the page count misses the last label");
    fuzzCheck(place.right - place.left == labelDots(layout.width) && place.bottom - place.top == labelDots(layout.height),
              "a label of another size");
    fuzzCheck(place.left == labelDots(layout.leftMargin) + place.column * labelDots(layout.horizontalPitch)
                  && place.top == labelDots(layout.topMargin) + place.row * labelDots(layout.verticalPitch),
              "a label off its pitch");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool started = (fuzzApplication(), true);
    (void)started;
    // The first 36 bytes, when there are that many, are a layout and a
    // label index; the rest is the number.
    if (size >= 36) {
        qint32 fields[9];
        std::memcpy(fields, data, sizeof fields);
        LabelLayout layout;
        layout.height = fields[0];
        layout.width = fields[1];
        layout.topMargin = fields[2];
        layout.leftMargin = fields[3];
        layout.verticalPitch = fields[4];
        layout.horizontalPitch = fields[5];
        layout.columns = fields[6];
        layout.rows = fields[7];
        checkLabels(layout, fields[8]);
    }
    checkBarcode(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    return 0;
}
