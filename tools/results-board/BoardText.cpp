#include "results-board/BoardText.h"

#include <cmath>

namespace BoardText {

QString time(double seconds)
{
    if (!(seconds > 0) || seconds >= 99999)
        return QString();
    // Hundredths counted once, so 59.996 becomes 1:00.00 and not 60.00.
    const qint64 hundredths = qint64(std::llround(seconds * 100));
    const qint64 minutes = hundredths / 6000;
    const qint64 rest = hundredths % 6000;
    const QString secondsText = QStringLiteral("%1.%2").arg(rest / 100).arg(rest % 100, 2, 10, QLatin1Char('0'));
    if (minutes == 0)
        return secondsText;
    return QStringLiteral("%1:%2").arg(minutes).arg(secondsText, 5, QLatin1Char('0'));
}

QString html(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QStringLiteral("&amp;"); break;
        case '<': out += QStringLiteral("&lt;"); break;
        case '>': out += QStringLiteral("&gt;"); break;
        case '"': out += QStringLiteral("&quot;"); break;
        case '\'': out += QStringLiteral("&#39;"); break;
        default:
            // Control characters have no place in a name and could end up
            // in the page as something other than text.
            if (c.unicode() < 0x20 && c != QLatin1Char('\t'))
                out += QChar(0xFFFD);
            else
                out += c;
        }
    }
    return out;
}

} // namespace BoardText
