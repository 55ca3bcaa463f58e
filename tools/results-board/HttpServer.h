#pragma once

#include "results-board/HttpRequest.h"
#include "results-board/HttpResponse.h"

#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <functional>

class QTcpSocket;
class QTimer;

// One client's connection. Everything runs on the event loop and nothing
// waits on a socket, so a slow or half-open client holds only its own
// buffer; one that sends nothing for idleMs is closed.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    static constexpr int idleMs = 30000;

    HttpConnection(QTcpSocket* socket, std::function<void(HttpConnection*, const HttpRequest&)> handler,
                   QObject* parent);

    // Answers the request the handler was given; the handler may answer at
    // once or keep the connection and answer later (a page waiting for the
    // meet to change).
    void respond(const HttpResponse& response);
    bool awaitingAnswer() const { return m_awaiting; }

private:
    void readRequests();

    QTcpSocket* m_socket;
    QTimer* m_idle;
    std::function<void(HttpConnection*, const HttpRequest&)> m_handler;
    QByteArray m_received;
    HttpRequest m_current;
    bool m_awaiting = false;
};

// The board's HTTP listener: GET and HEAD, one request head at a time per
// connection, bounded in size.
class HttpServer : public QObject {
    Q_OBJECT
public:
    // Far more than a meet's spectators; a client that opens connections
    // without end is refused past it rather than exhausting the program.
    static constexpr int maxConnections = 4000;

    using Handler = std::function<void(HttpConnection*, const HttpRequest&)>;

    HttpServer(Handler handler, QObject* parent = nullptr);

    // False with the reason when the address and port cannot be had.
    bool listen(const QHostAddress& address, quint16 port, QString& problem);
    quint16 port() const;

private:
    QTcpServer m_listener;
    Handler m_handler;
};
