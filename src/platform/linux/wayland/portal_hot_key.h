#pragma once

#include "platform/hot_key_service.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace ovra::platform {

class PortalShortcuts;

// One shortcut held by the desktop's portal where it works, and by `fallback` (KDE's shortcut
// service, the GNOME Shell extension, an X11 grab) where it does not: no portal, no
// GlobalShortcuts, the program's id or the binding refused, or the shortcut bound to no key (KDE
// binds none that another entry holds). While the portal has not answered
// yet the shortcut waits for it; a fallback holding it keeps it until the portal binds. UI thread
// only.
class PortalHotKey final : public QObject, public HotKeyService {
    Q_OBJECT
public:
    // `id` names the shortcut to the portal and `description` tells the user what it does;
    // `fallback` may be null, and must outlive this object.
    PortalHotKey(PortalShortcuts& portal, QString id, QString description, HotKeyService* fallback,
                 QObject* parent = nullptr);
    ~PortalHotKey() override;

    bool registerHotKey(QKeyCombination keys, std::function<void()> onPressed) override;
    void unregisterHotKey() override;

    // The portal holds the shortcut now; the fallback does when it says so.
    bool portalHolds() const;
    bool fallbackHolds() const { return m_fallbackHolds; }

private:
    // Neither a key the portal has a name for nor a portal that works.
    bool portalCannotHold() const;
    void follow();

    PortalShortcuts& m_portal;
    QString m_id;
    QString m_description;
    HotKeyService* m_fallback;
    std::optional<QKeyCombination> m_keys;
    std::function<void()> m_onPressed;
    bool m_onPortal = false; // given to the portal
    bool m_fallbackHolds = false;
};

} // namespace ovra::platform
