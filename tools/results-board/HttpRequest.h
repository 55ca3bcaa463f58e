#pragma once

#include <QByteArray>
#include <QUrlQuery>

// One request as the board reads it off a connection. The board serves
// pages and never takes data, so a request is its head alone: the request
// line and at most maxHeaders header lines in at most maxHeadBytes. A body
// is refused outright rather than read and thrown away.
struct HttpRequest {
    static constexpr qsizetype maxHeadBytes = 8192;
    static constexpr int maxHeaders = 64;

    QByteArray method;
    QByteArray path; // percent-decoded, without the query
    QUrlQuery query;
    bool keepAlive = true;
    bool hasBody = false;
};

enum class HttpParse {
    Incomplete, // wait for more bytes
    Complete,   // `consumed` bytes made one request
    Malformed,  // answer 400 and close
    TooLarge,   // answer 431 and close
};

// Reads one request head from the front of what the connection received.
HttpParse parseHttpRequest(const QByteArray& received, HttpRequest& request, qsizetype& consumed);
