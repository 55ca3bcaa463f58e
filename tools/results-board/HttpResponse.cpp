#include "results-board/HttpResponse.h"

namespace {

const char* reason(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Content Too Large";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

} // namespace

HttpResponse HttpResponse::text(int status, const QByteArray& message)
{
    HttpResponse r;
    r.status = status;
    r.contentType = "text/plain; charset=utf-8";
    r.body = message + '\n';
    return r;
}

QByteArray HttpResponse::serialize(bool head, bool keepAlive) const
{
    QByteArray out;
    out.reserve(body.size() + 512);
    out += "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason(status) + "\r\n";
    out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
           "connect-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'\r\n";
    out += "X-Content-Type-Options: nosniff\r\n";
    out += "Referrer-Policy: no-referrer\r\n";
    out += cacheable ? "Cache-Control: max-age=3600\r\n" : "Cache-Control: no-store\r\n";
    if (!allow.isEmpty())
        out += "Allow: " + allow + "\r\n";
    out += keepAlive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    out += "\r\n";
    if (!head)
        out += body;
    return out;
}
