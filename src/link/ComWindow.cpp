#include "link/ComWindow.h"

#include "link/SyncCall.h"

#include <utility>

TComMessageEvent::TComMessageEvent(const TComMessage& message, std::shared_ptr<ComSyncCall> sync)
    : QEvent(type())
    , m_message(message)
    , m_sync(std::move(sync))
{
}

QEvent::Type TComMessageEvent::type()
{
    static const QEvent::Type registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

bool TComWindow::event(QEvent* e)
{
    if (e->type() == TComMessageEvent::type()) {
        ++m_delivering;
        static_cast<TComMessageEvent*>(e)->sync().runPending();
        --m_delivering;
        return true;
    }
    return QObject::event(e);
}
