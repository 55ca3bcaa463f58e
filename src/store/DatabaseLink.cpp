#include "store/DatabaseLink.h"

#include "store/Database.h"
#include "store/Exception.h"

#include <QTimer>

DatabaseLink::DatabaseLink(Database& database, QObject* parent)
    : QObject(parent)
    , m_database(database)
    , m_retryTimer(new QTimer(this))
{
    m_retryTimer->setSingleShot(true);
    connect(m_retryTimer, &QTimer::timeout, this, [this] { retry(); });
    m_database.setLostHandler([this] { lost(); });
}

bool DatabaseLink::connected() const
{
    return !m_database.lost();
}

QString DatabaseLink::message() const
{
    return connected() ? QString() : m_database.lostMessage();
}

void DatabaseLink::lost()
{
    // Found inside a failing statement: the listeners hear of it once
    // that statement's failure has been dealt with, from the event loop.
    // A lock held elsewhere is given the interval to go before the store
    // that waited on it is tried again.
    m_retryTimer->start(m_database.lostToLock() ? retryIntervalMs : 0);
    tellListeners();
}

bool DatabaseLink::retry()
{
    m_retryTimer->stop();
    if (connected())
        return true;
    try {
        m_database.reconnect();
    } catch (const Exception&) {
        m_retryTimer->start(retryIntervalMs);
        tellListeners(); // the server's newest word
        return false;
    }
    tellListeners();
    return true;
}

void DatabaseLink::tellListeners()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            for (const auto& listener : m_listeners)
                listener();
        },
        Qt::QueuedConnection);
}
