#include "results-board/HttpRequest.h"

#include <QList>
#include <QUrl>

namespace {

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (!(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9') && c != '-' && c != '_')
            return false;
    return true;
}

} // namespace

HttpParse parseHttpRequest(const QByteArray& received, HttpRequest& request, qsizetype& consumed)
{
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0)
        return received.size() > HttpRequest::maxHeadBytes ? HttpParse::TooLarge : HttpParse::Incomplete;
    if (end + 4 > HttpRequest::maxHeadBytes)
        return HttpParse::TooLarge;
    consumed = end + 4;

    const QList<QByteArray> lines = received.left(end).split('\n');
    if (lines.size() - 1 > HttpRequest::maxHeaders)
        return HttpParse::TooLarge;

    const QList<QByteArray> parts = lines.first().trimmed().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/') || !parts[2].startsWith("HTTP/1."))
        return HttpParse::Malformed;
    request = HttpRequest();
    request.method = parts[0];
    const bool http10 = parts[2] == "HTTP/1.0";
    request.keepAlive = !http10;

    const qsizetype question = parts[1].indexOf('?');
    const QByteArray rawPath = question < 0 ? parts[1] : parts[1].left(question);
    request.path = QByteArray::fromPercentEncoding(rawPath);
    if (request.path.contains('\0'))
        return HttpParse::Malformed;
    if (question >= 0) {
        // '+' stands for a blank in a form's query, as browsers send it.
        QByteArray raw = parts[1].mid(question + 1);
        raw.replace('+', "%20");
        request.query = QUrlQuery(QString::fromUtf8(raw));
    }

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return HttpParse::Malformed;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed().toLower();
        if (name == "connection") {
            if (value.contains("close"))
                request.keepAlive = false;
            else if (value.contains("keep-alive"))
                request.keepAlive = true;
        } else if (name == "transfer-encoding" || (name == "content-length" && value != "0")) {
            request.hasBody = true;
        }
    }
    return HttpParse::Complete;
}
