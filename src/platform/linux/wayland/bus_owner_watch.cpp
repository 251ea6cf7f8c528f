#include "platform/linux/wayland/bus_owner_watch.h"

#include "support/logging.h"

#include <QDBusServiceWatcher>

OVRA_LOGGING_CATEGORY("ovra.platform.wayland");

namespace ovra::platform {

BusOwnerWatch::BusOwnerWatch(const QString& name,
                             std::function<void(const QString& owner)> onNewOwner,
                             QDBusConnection bus, QObject* parent)
    : QObject(parent),
      m_watcher(new QDBusServiceWatcher(name, bus, QDBusServiceWatcher::WatchForOwnerChange, this)),
      m_onNewOwner(std::move(onNewOwner)) {
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                ownerChanged(newOwner);
            });
}

void BusOwnerWatch::ownerChanged(const QString& newOwner) {
    // Unique names are never reused: the same one again is news already taken.
    if (newOwner == m_owner)
        return;
    if (newOwner.isEmpty())
        qCWarning(lc) << m_watcher->watchedServices().value(0)
                      << "left the session bus; registering again when it is back";
    m_owner = newOwner;
    if (!newOwner.isEmpty() && m_onNewOwner)
        m_onNewOwner(newOwner);
}

} // namespace ovra::platform
