#pragma once

#include "platform/hot_key_service.h"
#include "platform/linux/wayland/bus_owner_watch.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace ovra::platform {

// KDE Plasma's global shortcuts (the kglobalaccel service KWin hosts) holding the program's
// shortcut on Wayland, where no X11 grab sees the keys. The shortcut is listed in the desktop's
// shortcut settings under the program's name. The desktop portal's shortcuts would need an
// application id the portal cannot find for a program started outside a sandbox or a systemd
// scope, so the service is asked directly. A service that restarts has forgotten the shortcut: it
// is registered with each new one. UI thread only; no call waits for the service.
class KGlobalAccelHotKeys final : public QObject, public HotKeyService {
    Q_OBJECT
public:
    static QString serviceName();
    // The program's entry among the desktop's shortcuts: the panel's shortcut by default.
    static QStringList
    actionId(const QString& action = QStringLiteral("capture"),
             const QString& title = QStringLiteral("Show the panel for the selection"));

    // One action of the program's component, each listed in the desktop's shortcut settings.
    explicit KGlobalAccelHotKeys(QObject* parent = nullptr);
    KGlobalAccelHotKeys(const QString& action, const QString& title, QObject* parent = nullptr);
    ~KGlobalAccelHotKeys() override;

    // Watches for the service, which may come up after this program; false only without a
    // session bus.
    bool start();
    // The service is (or was, the last time it appeared) on the bus.
    bool isRunning() const { return m_running; }

    // The service counts keys as Qt does, so every combination is sent as it is. While the
    // service is not running the shortcut is kept for its arrival (and true returned): the
    // preferences say then that the shortcut is bound in the desktop's settings.
    bool registerHotKey(QKeyCombination keys, std::function<void()> onPressed) override;
    void unregisterHotKey() override;
    // Removes the entry the desktop keeps from an earlier start, keys and all, while this object
    // holds nothing: the desktop keeps an inactive entry's keys, so another holder of the same
    // shortcut for this program (the portal) would get none. Registering again brings it back.
    void releaseStoredKeys();

private Q_SLOTS:
    void onPressed(const QString& component, const QString& action, qlonglong timestamp);

private:
    void listenOn(const QString& componentPath);
    void sendRegistration();

    QStringList m_actionId;
    std::function<void()> m_onPressed;
    QKeyCombination m_keys; // held for the service's next start
    QString m_componentPath;
    bool m_running = false;
    BusOwnerWatch* m_serviceWatch = nullptr;
};

} // namespace ovra::platform
