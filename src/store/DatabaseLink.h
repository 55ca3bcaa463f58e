#pragma once

#include <QObject>

#include <functional>
#include <vector>

class Database;
class QTimer;

// Keeps a station's connection to the meet's server: when a statement finds
// it lost, the connection is opened again at once and then every 2 seconds
// until the server answers, with no restart. Windows only show the state:
// each listener is called, from the event loop, after it changed. A file's
// connection is never lost, so on SQLite nothing here ever runs.
class DatabaseLink : public QObject {
public:
    static constexpr int retryIntervalMs = 2000;

    explicit DatabaseLink(Database& database, QObject* parent = nullptr);

    bool connected() const;
    // Why it is lost, for an official: empty while connected.
    QString message() const;

    void whenChanged(std::function<void()> listener) { m_listeners.push_back(std::move(listener)); }

    // One try to open the connection again; what the retry timer runs,
    // and tests fire by hand. True when connected.
    bool retry();
    QTimer* retryTimer() const { return m_retryTimer; }

private:
    void lost();
    void tellListeners();

    Database& m_database;
    QTimer* m_retryTimer;
    std::vector<std::function<void()>> m_listeners;
};
