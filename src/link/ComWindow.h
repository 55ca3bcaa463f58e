#pragma once

#include "link/CPort.h"

#include <QEvent>
#include <QObject>

#include <memory>

class ComSyncCall;

// The message of one event flag on its way to the hidden object; it carries
// the synchronous call that runs the port's WindowMethod with it.
class TComMessageEvent : public QEvent {
public:
    TComMessageEvent(const TComMessage& message, std::shared_ptr<ComSyncCall> sync);
    static QEvent::Type type();

    const TComMessage& message() const { return m_message; }
    ComSyncCall& sync() const { return *m_sync; }

private:
    TComMessage m_message;
    std::shared_ptr<ComSyncCall> m_sync;
};

// The hidden object of smWindowSync: it lives on the port's thread and
// receives message CM_COMEVENT once per event flag.
class TComWindow : public QObject {
    Q_OBJECT

public:
    TComWindow() = default;

    // True while it runs a message: a Close from a handler must not delete it then.
    bool delivering() const { return m_delivering > 0; }

protected:
    bool event(QEvent* e) override;

private:
    int m_delivering = 0;
};
