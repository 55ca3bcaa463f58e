#include "results-board/HttpServer.h"

#include <QTcpSocket>
#include <QTimer>

HttpConnection::HttpConnection(QTcpSocket* socket, std::function<void(HttpConnection*, const HttpRequest&)> handler,
                               QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_idle(new QTimer(this))
    , m_handler(std::move(handler))
{
    socket->setParent(this);
    // A client that keeps sending while its request waits fills this much
    // and no more: the rest stays in the network until it is read.
    socket->setReadBufferSize(HttpRequest::maxHeadBytes * 2);
    m_idle->setSingleShot(true);
    m_idle->setInterval(idleMs);
    connect(m_idle, &QTimer::timeout, socket, &QTcpSocket::abort);
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequests);
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    connect(socket, &QTcpSocket::errorOccurred, this, &QObject::deleteLater);
    m_idle->start();
}

void HttpConnection::readRequests()
{
    if (m_awaiting)
        return; // the next request waits in the buffer until this one is answered
    m_received += m_socket->readAll();
    qsizetype consumed = 0;
    const HttpParse parsed = parseHttpRequest(m_received, m_current, consumed);
    if (parsed == HttpParse::Incomplete)
        return;
    if (parsed != HttpParse::Complete) {
        m_current.keepAlive = false;
        m_awaiting = true;
        respond(parsed == HttpParse::TooLarge ? HttpResponse::text(431, "The request is too large.")
                                              : HttpResponse::text(400, "The request is not understood."));
        return;
    }
    m_received.remove(0, consumed);
    m_idle->stop();
    m_awaiting = true;
    if (m_current.hasBody) {
        // The board takes no data: a body is not read, so the connection
        // cannot carry another request after it.
        m_current.keepAlive = false;
        HttpResponse refused = HttpResponse::text(405, "The results board only shows results.");
        refused.allow = "GET, HEAD";
        respond(refused);
        return;
    }
    m_handler(this, m_current);
}

void HttpConnection::respond(const HttpResponse& response)
{
    if (!m_awaiting)
        return;
    m_awaiting = false;
    m_socket->write(response.serialize(m_current.method == "HEAD", m_current.keepAlive));
    if (!m_current.keepAlive) {
        m_socket->disconnectFromHost();
        return;
    }
    m_idle->start();
    if (!m_received.isEmpty() || m_socket->bytesAvailable() > 0)
        QTimer::singleShot(0, this, &HttpConnection::readRequests);
}

HttpServer::HttpServer(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
    connect(&m_listener, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_listener.nextPendingConnection()) {
            if (findChildren<HttpConnection*>(Qt::FindDirectChildrenOnly).size() >= maxConnections) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            new HttpConnection(socket, m_handler, this);
        }
    });
}

bool HttpServer::listen(const QHostAddress& address, quint16 port, QString& problem)
{
    if (m_listener.listen(address, port))
        return true;
    problem = m_listener.errorString();
    return false;
}

quint16 HttpServer::port() const
{
    return m_listener.serverPort();
}
