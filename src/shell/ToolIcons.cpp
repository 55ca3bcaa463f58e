#include "shell/ToolIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void drawArrow(QPainter& p, bool down, const QColor& colour)
{
    // A sheet of paper with an arrow into it (import) or out of it (export).
    p.setPen(QPen(QColor(90, 90, 90), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 3.5, 17, 24));
    p.setPen(QPen(QColor(150, 150, 150), 1));
    for (int y = 9; y <= 21; y += 4)
        p.drawLine(9, y, 19, y);
    QPainterPath arrow;
    if (down) {
        arrow.moveTo(26, 4);
        arrow.lineTo(26, 18);
        arrow.lineTo(30, 18);
        arrow.lineTo(23, 28);
        arrow.lineTo(16, 18);
        arrow.lineTo(20, 18);
        arrow.lineTo(20, 4);
    } else {
        arrow.moveTo(20, 28);
        arrow.lineTo(20, 14);
        arrow.lineTo(16, 14);
        arrow.lineTo(23, 4);
        arrow.lineTo(30, 14);
        arrow.lineTo(26, 14);
        arrow.lineTo(26, 28);
    }
    arrow.closeSubpath();
    p.setPen(QPen(colour.darker(140), 1));
    p.setBrush(colour);
    p.drawPath(arrow);
}

} // namespace

QIcon toolIcon(ToolIcon icon)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (icon) {
    case ToolIcon::Exit: {
        // An open door.
        p.setPen(QPen(QColor(80, 50, 20), 1.5));
        p.setBrush(QColor(235, 225, 205));
        p.drawRect(QRectF(6.5, 3.5, 19, 26));
        QPainterPath door;
        door.moveTo(6.5, 3.5);
        door.lineTo(17, 7);
        door.lineTo(17, 31);
        door.lineTo(6.5, 29.5);
        door.closeSubpath();
        p.setBrush(QColor(170, 100, 45));
        p.drawPath(door);
        p.setBrush(QColor(240, 200, 60));
        p.drawEllipse(QPointF(14.5, 18), 1.2, 1.2);
        break;
    }
    case ToolIcon::Import:
        drawArrow(p, true, QColor(40, 150, 60));
        break;
    case ToolIcon::Export:
        drawArrow(p, false, QColor(40, 100, 200));
        break;
    case ToolIcon::Help: {
        p.setPen(QPen(QColor(20, 70, 160), 1.5));
        p.setBrush(QColor(60, 120, 220));
        p.drawEllipse(QRectF(2.5, 2.5, 27, 27));
        QFont f = p.font();
        f.setPixelSize(22);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case ToolIcon::Barcodes: {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(1, 5, 30, 22);
        p.setBrush(Qt::black);
        const int widths[] = {1, 1, 3, 1, 1, 3, 3, 1, 1, 1, 3, 1, 1, 3};
        int x = 3;
        for (int i = 0; i < 14; ++i) {
            if (i % 2 == 0)
                p.drawRect(x, 7, widths[i], 18);
            x += widths[i];
        }
        break;
    }
    }
    return QIcon(pixmap);
}
