#include "results-board/QrCode.h"

#include <qrencode.h>

namespace {

constexpr int quietZone = 4; // modules of light border a reader needs

} // namespace

QrCode QrCode::encode(const QString& text)
{
    QrCode code;
    QRcode* raw = QRcode_encodeString(text.toUtf8().constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!raw)
        return code;
    code.m_size = raw->width;
    code.m_modules.reserve(raw->width * raw->width);
    for (int i = 0; i < raw->width * raw->width; ++i)
        code.m_modules << ((raw->data[i] & 1) != 0); // the lowest bit is the module's colour
    QRcode_free(raw);
    return code;
}

QByteArray QrCode::svg() const
{
    const int side = m_size + 2 * quietZone;
    QByteArray out = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + QByteArray::number(side) + ' '
                     + QByteArray::number(side) + "\" shape-rendering=\"crispEdges\">"
                     + "<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/><path fill=\"#000\" d=\"";
    for (int y = 0; y < m_size; ++y)
        for (int x = 0; x < m_size; ++x)
            if (dark(x, y))
                out += 'M' + QByteArray::number(x + quietZone) + ' ' + QByteArray::number(y + quietZone)
                       + "h1v1h-1z";
    out += "\"/></svg>\n";
    return out;
}

QString QrCode::terminal() const
{
    if (m_size == 0)
        return QString();
    const int side = m_size + 2 * quietZone;
    auto isDark = [&](int x, int y) {
        x -= quietZone;
        y -= quietZone;
        return x >= 0 && y >= 0 && x < m_size && y < m_size && dark(x, y);
    };
    QString out;
    for (int y = 0; y < side; y += 2) {
        // Black on white, set explicitly: a dark terminal would invert it.
        out += QStringLiteral("\x1b[30;47m");
        for (int x = 0; x < side; ++x) {
            const bool top = isDark(x, y);
            const bool bottom = y + 1 < side && isDark(x, y + 1);
            out += top && bottom ? QChar(0x2588) : top ? QChar(0x2580) : bottom ? QChar(0x2584) : QLatin1Char(' ');
        }
        out += QStringLiteral("\x1b[0m\n");
    }
    return out;
}
