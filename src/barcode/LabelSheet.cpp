#include "barcode/LabelSheet.h"

#include "barcode/Barcode.h"
#include "store/Exception.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <limits>

QByteArray paddedNumber(const QString& text)
{
    QByteArray number = text.toUtf8();
    if (number.size() < labelNumberDigits)
        number.prepend(labelNumberDigits - number.size(), '0');
    else if (number.size() % 2 != 0)
        number.prepend('0');
    return number;
}

QString numberFault(const QString& text)
{
    // Counted in characters, not bytes: the position is for the person who
    // typed or pasted the text.
    const QList<uint> characters = text.toUcs4();
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const char32_t c = characters[i];
        if (c < U'0' || c > U'9') {
            const QString shown = c == U' '    ? QStringLiteral("a blank")
                                  : c == U'\t' ? QStringLiteral("a tab")
                                  : c == U'\r' ? QStringLiteral("a carriage return")
                                               : QStringLiteral("\"%1\"").arg(QString::fromUcs4(&c, 1));
            return QStringLiteral("holds %1 at position %2, and only the digits 0 to 9 can be encoded")
                .arg(shown)
                .arg(i + 1);
        }
    }
    if (characters.size() > BARCODE::maxDigits) {
        return QStringLiteral("has %1 digits, and at most %2 can be encoded")
            .arg(characters.size())
            .arg(BARCODE::maxDigits);
    }
    return {};
}

QStringList numberLines(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void checkNumberLines(const QStringList& lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString fault = numberFault(lines[i]);
        if (!fault.isEmpty()) {
            throw Exception(QStringLiteral("Line %1 of the list, \"%2\", %3. Nothing was printed.")
                                .arg(i + 1)
                                .arg(lines[i], fault));
        }
    }
}

void drawLabel(QPainter& painter, const QRect& rect, const QImage& bars, const QString& text, int maxBandHeight)
{
    // A barcode stretched with smoothing would get grey module edges that a
    // reader may misjudge.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (text.isEmpty()) {
        painter.drawImage(rect, bars);
        return;
    }

    QFont font = painter.font();
    if (QFontMetrics(font, painter.device()).height() > maxBandHeight) {
        int pixels = std::max(maxBandHeight, 1);
        font.setPixelSize(pixels);
        while (pixels > 1 && QFontMetrics(font, painter.device()).height() > maxBandHeight)
            font.setPixelSize(--pixels);
    }
    const QFontMetrics metrics(font, painter.device());
    const int bandHeight = std::min(metrics.height(), rect.height());
    const QRect band(rect.left(), rect.top(), rect.width(), bandHeight);
    painter.drawImage(QRect(rect.left(), band.bottom() + 1, rect.width(), rect.height() - bandHeight), bars);

    painter.save();
    painter.fillRect(band, Qt::white);
    painter.setClipRect(band);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(band, Qt::AlignLeft | Qt::AlignTop, text);
    painter.restore();
}

int printLabelSheets(QPainter& painter, const std::function<void()>& newPage, const QStringList& lines,
                      const LabelLayout& layout)
{
    checkLabelLayout(layout);
    checkNumberLines(lines);
    if (lines.size() > std::numeric_limits<qint32>::max())
        throw Exception(QStringLiteral("The list holds more labels than can be printed at once"));

    painter.setFont(QFont(QStringLiteral("Arial"), 10));

    BARCODE& barcode = BARCODE::instance();
    int pages = 1;
    for (qint32 i = 0; i < qint32(lines.size()); ++i) {
        const LabelPlace place = labelPlace(layout, i);
        if (i > 0 && place.column == 0 && place.row == 0) {
            newPage();
            ++pages;
        }

        const QString& text = lines[i];
        barcode.Encode(paddedNumber(text));
        const QRect rect = place.rect();
        drawLabel(painter, rect, barcode.bitmap, layout.includeNumber ? text : QString(), rect.height() / 2);
    }
    return pages;
}

QString printedSummary(qint64 labels, int pages)
{
    if (labels == 0)
        return QStringLiteral("Printed no labels: the list of numbers is empty");
    return QStringLiteral("Printed %1 %2 on %3 %4")
        .arg(labels)
        .arg(labels == 1 ? QStringLiteral("label") : QStringLiteral("labels"))
        .arg(pages)
        .arg(pages == 1 ? QStringLiteral("page") : QStringLiteral("pages"));
}
