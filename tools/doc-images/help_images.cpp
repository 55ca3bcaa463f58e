// Draws the pictures that go with the help: the drawing of what the nine
// label sheet settings measure (help/images/label-settings.png) and a
// screenshot of the help window (docs/images/help-window.png).
//   xvfb-run help-images <source folder>   (or tools/doc-images/make-images.sh)
// With a page name and a file name it only takes a picture of that page in
// the help window, to look the pages over:
//   xvfb-run help-images <source folder> barcodes.htm /tmp/barcodes.png

#include "barcode/Barcode.h"
#include "barcode/LabelSheet.h"
#include "helpview/HelpView.h"
#include "helpview/Helpdialog1.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTest>

#include <cstdio>

namespace {

const QColor ink(40, 40, 40);
const QColor measure(0, 90, 170);

void arrowHead(QPainter& p, QPointF tip, QPointF from)
{
    const QLineF back(tip, from);
    QLineF side1 = back;
    side1.setLength(8);
    side1.setAngle(back.angle() + 25);
    QLineF side2 = back;
    side2.setLength(8);
    side2.setAngle(back.angle() - 25);
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(side1.p2());
    head.lineTo(side2.p2());
    head.closeSubpath();
    p.fillPath(head, measure);
}

void dimension(QPainter& p, QPointF a, QPointF b)
{
    p.setPen(QPen(measure, 1.6));
    p.drawLine(a, b);
    arrowHead(p, a, b);
    arrowHead(p, b, a);
}

void extension(QPainter& p, QPointF a, QPointF b)
{
    p.setPen(QPen(measure, 1, Qt::DashLine));
    p.drawLine(a, b);
}

// A numbered circle that the legend explains.
void tag(QPainter& p, QPointF centre, int number)
{
    p.setPen(QPen(measure, 1.5));
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 11, 11);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(measure);
    p.drawText(QRectF(centre.x() - 11, centre.y() - 11, 22, 22), Qt::AlignCenter, QString::number(number));
    p.setBrush(Qt::NoBrush);
}

void label(QPainter& p, const QRect& r, const QByteArray& number)
{
    BARCODE& encoder = BARCODE::instance();
    encoder.Encode(paddedNumber(QString::fromLatin1(number)));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    p.setFont(f);
    drawLabel(p, r, encoder.bitmap, QString::fromLatin1(number), r.height() / 2);
}

QImage labelSettingsDrawing()
{
    // Narrow enough to fit the help window without scrolling sideways: the
    // sheet above, the legend below it.
    QImage image(660, 760, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 247));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QRect sheet(20, 20, 620, 470);
    p.setPen(QPen(QColor(150, 150, 150), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setBrush(Qt::NoBrush);
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(12);
    small.setItalic(true);
    p.setFont(small);
    p.setPen(QColor(120, 120, 120));
    p.drawText(QRect(sheet.left() + 6, sheet.top() + 4, 300, 16), Qt::AlignLeft,
               QStringLiteral("top left of the printable area"));

    const int top = sheet.top() + 80;
    const int left = sheet.left() + 45;
    const int width = 125;
    const int height = 58;
    const int hPitch = 168;
    const int vPitch = 98;
    const QByteArray numbers[3][3] = {{"101", "102", "103"}, {"104", "105", "106"}, {"107", "108", "109"}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            label(p, QRect(left + column * hPitch, top + row * vPitch, width, height), numbers[row][column]);

    p.setFont(small);
    p.setPen(QColor(120, 120, 120));
    p.drawText(QRect(left, top + 2 * vPitch + height + 4, 400, 18), Qt::AlignLeft,
               QStringLiteral("... and so on, row after row, then the next page"));

    // 1 Barcode Height, at the right of the first row's last label.
    const int lastRight = left + 2 * hPitch + width;
    extension(p, QPointF(lastRight, top), QPointF(lastRight + 22, top));
    extension(p, QPointF(lastRight, top + height), QPointF(lastRight + 22, top + height));
    dimension(p, QPointF(lastRight + 16, top), QPointF(lastRight + 16, top + height));
    tag(p, QPointF(lastRight + 16, top + height / 2.0), 1);

    // 2 Barcode Width, under the first label.
    extension(p, QPointF(left, top + height), QPointF(left, top + height + 22));
    extension(p, QPointF(left + width, top + height), QPointF(left + width, top + height + 22));
    dimension(p, QPointF(left, top + height + 16), QPointF(left + width, top + height + 16));
    tag(p, QPointF(left + width / 2.0, top + height + 16), 2);

    // 3 Include Number In Barcode: the number in a band above the bars.
    p.setPen(QPen(measure, 1.2));
    p.drawLine(QPointF(left + hPitch + 12, top + 8), QPointF(left + hPitch + 50, top - 22));
    tag(p, QPointF(left + hPitch + 58, top - 28), 3);

    // 4 Top Margin, from the top of the printable area to the first row.
    extension(p, QPointF(left - 30, top), QPointF(left, top));
    dimension(p, QPointF(left - 22, sheet.top()), QPointF(left - 22, top));
    tag(p, QPointF(left - 22, (sheet.top() + top) / 2.0 + 8), 4);

    // 5 Left Margin, from the left of the printable area to the first column.
    const int marginY = top + vPitch + height / 2;
    dimension(p, QPointF(sheet.left(), marginY), QPointF(left, marginY));
    tag(p, QPointF((sheet.left() + left) / 2.0, marginY - 18), 5);

    // 6 Vertical Pitch, from one row's top to the next row's top.
    extension(p, QPointF(lastRight, top + vPitch), QPointF(lastRight + 52, top + vPitch));
    extension(p, QPointF(lastRight + 22, top), QPointF(lastRight + 52, top));
    dimension(p, QPointF(lastRight + 46, top), QPointF(lastRight + 46, top + vPitch));
    tag(p, QPointF(lastRight + 46, top + vPitch / 2.0 + 22), 6);

    // 7 Horizontal Pitch, from one column's left edge to the next one's.
    const int pitchY = top + 2 * vPitch + height + 44;
    extension(p, QPointF(left, top + 2 * vPitch + height), QPointF(left, pitchY + 6));
    extension(p, QPointF(left + hPitch, top + 2 * vPitch + height), QPointF(left + hPitch, pitchY + 6));
    dimension(p, QPointF(left, pitchY), QPointF(left + hPitch, pitchY));
    tag(p, QPointF(left + hPitch / 2.0, pitchY), 7);

    // 8 Barcodes Across Page: the labels of one row.
    const int acrossY = pitchY + 40;
    p.setPen(QPen(measure, 1.6));
    p.drawLine(QPointF(left, acrossY), QPointF(lastRight, acrossY));
    p.drawLine(QPointF(left, acrossY - 7), QPointF(left, acrossY + 7));
    p.drawLine(QPointF(lastRight, acrossY - 7), QPointF(lastRight, acrossY + 7));
    for (int column = 0; column < 3; ++column)
        p.drawLine(QPointF(left + column * hPitch + width / 2.0, acrossY - 4),
                   QPointF(left + column * hPitch + width / 2.0, acrossY + 4));
    tag(p, QPointF((left + lastRight) / 2.0 + 40, acrossY), 8);

    // 9 Barcodes Down Page: the rows of one page.
    const int downX = lastRight + 80;
    const int lastBottom = top + 2 * vPitch + height;
    p.setPen(QPen(measure, 1.6));
    p.drawLine(QPointF(downX, top), QPointF(downX, lastBottom));
    p.drawLine(QPointF(downX - 7, top), QPointF(downX + 7, top));
    p.drawLine(QPointF(downX - 7, lastBottom), QPointF(downX + 7, lastBottom));
    for (int row = 0; row < 3; ++row)
        p.drawLine(QPointF(downX - 4, top + row * vPitch + height / 2.0),
                   QPointF(downX + 4, top + row * vPitch + height / 2.0));
    tag(p, QPointF(downX, top + vPitch * 1.5 + height / 2.0), 9);

    // The legend, in the captions of the barcode window, two columns.
    const QStringList legend = {
        QStringLiteral("Barcode Height:"),    QStringLiteral("Barcode Width:"),
        QStringLiteral("Include Number In Barcode:"), QStringLiteral("Top Margin:"),
        QStringLiteral("Left Margin:"),       QStringLiteral("Vertical Pitch:"),
        QStringLiteral("Horizontal Pitch:"),  QStringLiteral("Barcodes Across Page:"),
        QStringLiteral("Barcodes Down Page:")};
    const QStringList meaning = {
        QStringLiteral("height of each barcode"),
        QStringLiteral("width of each barcode"),
        QStringLiteral("the number in a band above the bars"),
        QStringLiteral("printable top to the first row"),
        QStringLiteral("printable left to the first column"),
        QStringLiteral("top of a row to top of the next"),
        QStringLiteral("left of a column to left of the next"),
        QStringLiteral("labels in each row"),
        QStringLiteral("rows on each page")};
    const int legendTop = sheet.bottom() + 34;
    QFont heading(QStringLiteral("DejaVu Sans"));
    heading.setPixelSize(15);
    heading.setBold(true);
    p.setFont(heading);
    p.setPen(ink);
    p.drawText(QPointF(sheet.left(), legendTop), QStringLiteral("The nine settings"));
    for (int i = 0; i < legend.size(); ++i) {
        const double x = sheet.left() + (i < 5 ? 0 : 320);
        const double y = legendTop + 30 + (i % 5) * 44;
        tag(p, QPointF(x + 11, y), i + 1);
        QFont name(QStringLiteral("DejaVu Sans"));
        name.setPixelSize(13);
        name.setBold(true);
        p.setFont(name);
        p.setPen(ink);
        p.drawText(QPointF(x + 30, y - 2), legend[i]);
        QFont plain(QStringLiteral("DejaVu Sans"));
        plain.setPixelSize(12);
        p.setFont(plain);
        p.drawText(QPointF(x + 30, y + 14), meaning[i]);
    }
    QFont note(QStringLiteral("DejaVu Sans"));
    note.setPixelSize(12);
    note.setItalic(true);
    p.setFont(note);
    p.setPen(QColor(90, 90, 90));
    p.drawText(QRectF(sheet.left() + 320, legendTop + 30 + 4 * 44 - 12, 300, 40), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Sizes and distances in label units:\n1 unit = 7.5 printer dots"));
    return image;
}

bool save(const QImage& image, const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!image.save(path)) {
        std::fprintf(stderr, "Could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("Wrote %s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s <source folder>\n", argv[0]);
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));

    if (argc >= 4) {
        THelpDialog help(nullptr, source.path());
        help.resize(900, 1400);
        help.ShowHelp();
        if (!QTest::qWaitForWindowExposed(&help))
            return 1;
        help.WebBrowser1->setSource(QUrl::fromLocalFile(source.filePath(QStringLiteral("help/"))
                                                        + QString::fromLocal8Bit(argv[2])));
        QTest::qWait(200);
        return save(help.grab().toImage(), QString::fromLocal8Bit(argv[3])) ? 0 : 1;
    }

    if (!save(labelSettingsDrawing(), source.filePath(QStringLiteral("help/images/label-settings.png"))))
        return 1;

    THelpDialog help(nullptr, source.path());
    help.ShowHelp();
    if (!QTest::qWaitForWindowExposed(&help))
        return 1;
    QTest::qWait(200);
    if (!save(help.grab().toImage(), source.filePath(QStringLiteral("docs/images/help-window.png"))))
        return 1;
    return 0;
}
