#pragma once

#include <QByteArray>

// One answer of the board, with the headers every answer carries: the page
// may load only the board's own script and stylesheet, and nothing else of
// any host, so a name that slipped through as markup still could not run.
struct HttpResponse {
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QByteArray allow; // the methods a 405 names
    bool cacheable = false; // the stylesheet and script, not the meet

    static HttpResponse text(int status, const QByteArray& message);

    // The bytes on the wire; a HEAD gets the head alone, with the length
    // the body would have.
    QByteArray serialize(bool head, bool keepAlive) const;
};
