#pragma once

#include "results-board/HttpServer.h"
#include "results-board/Meet.h"
#include "results-board/MeetReader.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

// What the board answers to each address, from the meet it holds in memory.
// The meet is read again only when the station committed something; every
// change counts one generation, and an open page waits at /api/changes
// until the generation moves past the one it shows, then fetches its new
// <main>. A waiting page costs nothing until then.
class ResultsBoard : public QObject {
    Q_OBJECT
public:
    static constexpr int tickMs = 500;     // how soon a commit shows: well within 2 s
    static constexpr int waitTicks = 50;   // a waiting page is answered at least this often

    using Clock = std::function<QDateTime()>;

    explicit ResultsBoard(std::unique_ptr<MeetReader> reader, QObject* parent = nullptr);

    // The address the QR code names.
    void setAddress(const QString& address) { m_address = address; }
    void setClock(Clock clock) { m_clock = std::move(clock); }

    // Asks the database whether anything changed, and wakes the waiting
    // pages when it did. Run every tickMs by start(); tests call it by hand.
    void tick();
    void start();

    // Answers a request now, or keeps the connection until the meet changes.
    void handle(HttpConnection* connection, const HttpRequest& request);
    // The answer to a request that does not wait; what the tests read.
    HttpResponse answer(const HttpRequest& request) const;

    quint64 generation() const { return m_generation; }
    const Meet& meet() const { return m_meet; }
    int waiting() const { return int(m_waiting.size()); }

private:
    HttpResponse changes() const;

    struct Waiter {
        QPointer<HttpConnection> connection;
        int ticksLeft;
    };

    std::unique_ptr<MeetReader> m_reader;
    Meet m_meet;
    quint64 m_generation = 0;
    QList<Waiter> m_waiting;
    QString m_address;
    Clock m_clock;
};
