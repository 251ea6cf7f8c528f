#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

class QDBusServiceWatcher;

namespace ovra::platform {

// Calls back each time a bus name gets a new owner. A desktop helper that comes back (GNOME Shell
// turns its extensions off while the screen is locked and on again after; KWin restarted) has
// forgotten what this program registered with it, so the caller registers again. An owner that
// leaves is not reported: there is nobody to register with until the next one. UI thread only.
class BusOwnerWatch final : public QObject {
    Q_OBJECT
public:
    BusOwnerWatch(const QString& name, std::function<void(const QString& owner)> onNewOwner,
                  QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // The owner the caller has already registered with (asked at its start): the watch's own
    // news of it, which may still be on its way, is not taken for a new owner.
    void setKnownOwner(const QString& owner) { m_owner = owner; }

private:
    void ownerChanged(const QString& newOwner);

    QDBusServiceWatcher* m_watcher;
    std::function<void(const QString&)> m_onNewOwner;
    QString m_owner;
};

} // namespace ovra::platform
