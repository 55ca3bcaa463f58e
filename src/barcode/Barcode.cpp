#include "barcode/Barcode.h"

#include "store/Exception.h"

#include <array>

namespace {

constexpr std::array<quint8, 4> startRun{1, 0, 1, 0};
constexpr std::array<quint8, 5> stopRun{1, 1, 1, 0, 1};
constexpr std::array<quint8, 1> narrowBar{1};
constexpr std::array<quint8, 3> wideBar{1, 1, 1};
constexpr std::array<quint8, 1> narrowSpace{0};
constexpr std::array<quint8, 3> wideSpace{0, 0, 0};

// The elements of each digit, indexed by digit - '0': '0' narrow, '1' wide.
// Each has two wide and three narrow elements, so a digit is 9 modules.
constexpr std::array<const char*, 10> digitPatterns{
    "00110", "10001", "01001", "11000", "00101", "10100", "01100", "00011", "10010", "01010",
};

// The bitmap's colour table: index 0 the background, index 1 the bars.
constexpr uint white = 0xFFFFFFFF;
constexpr uint black = 0xFF000000;

void checkNumber(const QByteArray& number)
{
    if (number.size() > BARCODE::maxDigits) {
        // One arg() call for all the places: a % in the number is not one.
        throw Exception(QStringLiteral("The barcode number \"%1\" has %2 digits; at most %3 can be encoded")
                            .arg(QString::fromUtf8(number), QString::number(number.size()),
                                 QString::number(BARCODE::maxDigits)));
    }
    for (qsizetype i = 0; i < number.size(); ++i) {
        if (number[i] < '0' || number[i] > '9') {
            throw Exception(QStringLiteral("The barcode number \"%1\" holds \"%2\" at position %3; "
                                           "only the digits 0 to 9 can be encoded")
                                .arg(QString::fromUtf8(number), QString::fromUtf8(number.mid(i, 1)),
                                     QString::number(i + 1)));
        }
    }
}

} // namespace

BARCODE& BARCODE::instance()
{
    static BARCODE barcode;
    return barcode;
}

BARCODE::BARCODE()
    : bitmap(0, height, QImage::Format_Mono)
{
    bitmap.setColorTable({white, black});
}

void BARCODE::Encode(const QByteArray& number)
{
    checkNumber(number);
    QByteArray digits = number;
    if (digits.size() % 2 != 0)
        digits.append('0');

    // Start 4 modules, 9 per digit, stop 5.
    bitmap = QImage(int(9 * digits.size() + 9), height, QImage::Format_Mono);
    bitmap.setColorTable({white, black});
    nextColumn = 0;
    ClearBitmap();
    DrawPattern(startRun);
    for (qsizetype i = 0; i + 1 < digits.size(); i += 2)
        DrawPair(digits[i], digits[i + 1]);
    DrawPattern(stopRun);
}

void BARCODE::ClearBitmap()
{
    bitmap.fill(0);
}

void BARCODE::DrawPattern(ModuleRun run)
{
    for (const quint8 module : run) {
        if (module == 1 && nextColumn >= 0 && nextColumn < bitmap.width()) {
            for (int y = 0; y < bitmap.height(); ++y)
                bitmap.setPixel(nextColumn, y, 1);
        }
        ++nextColumn;
    }
}

void BARCODE::DrawPair(char first, char second)
{
    const auto pattern = [](char digit) -> const char* {
        if (digit < '0' || digit > '9') {
            throw Exception(QStringLiteral("\"%1\" is not a digit and has no barcode pattern")
                                .arg(QString::fromUtf8(QByteArray(1, digit))));
        }
        return digitPatterns[std::size_t(digit - '0')];
    };
    const char* bars = pattern(first);
    const char* spaces = pattern(second);
    for (int k = 0; k < 5; ++k) {
        DrawPattern(bars[k] == '1' ? ModuleRun(wideBar) : ModuleRun(narrowBar));
        DrawPattern(spaces[k] == '1' ? ModuleRun(wideSpace) : ModuleRun(narrowSpace));
    }
}
