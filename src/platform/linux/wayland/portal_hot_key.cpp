#include "platform/linux/wayland/portal_hot_key.h"

#include "platform/linux/wayland/portal_shortcuts.h"
#include "support/logging.h"

OVRA_LOGGING_CATEGORY("ovra.platform.wayland");

namespace ovra::platform {

PortalHotKey::PortalHotKey(PortalShortcuts& portal, QString id, QString description,
                           HotKeyService* fallback, QObject* parent)
    : QObject(parent), m_portal(portal), m_id(std::move(id)), m_description(std::move(description)),
      m_fallback(fallback) {
    connect(&m_portal, &PortalShortcuts::changed, this, &PortalHotKey::follow);
}

PortalHotKey::~PortalHotKey() {
    unregisterHotKey();
}

bool PortalHotKey::registerHotKey(QKeyCombination keys, std::function<void()> onPressed) {
    if (m_keys || !onPressed)
        return false;
    m_keys = keys;
    m_onPressed = std::move(onPressed);
    m_onPortal = false;
    if (const std::optional<QString> trigger = PortalShortcuts::trigger(keys)) {
        m_onPortal = true;
        m_portal.setShortcut(m_id, m_description, *trigger, [this] { m_onPressed(); });
    }
    follow();
    if (portalCannotHold() && !m_fallbackHolds) {
        unregisterHotKey();
        return false;
    }
    return true;
}

void PortalHotKey::unregisterHotKey() {
    if (!m_keys)
        return;
    m_keys.reset();
    m_onPressed = nullptr;
    if (m_onPortal)
        m_portal.removeShortcut(m_id);
    if (m_fallbackHolds)
        m_fallback->unregisterHotKey();
    m_fallbackHolds = false;
}

bool PortalHotKey::portalHolds() const {
    return m_keys && m_onPortal && m_portal.state() == PortalShortcuts::State::bound &&
           !m_portal.triggerDescription(m_id).isEmpty();
}

bool PortalHotKey::portalCannotHold() const {
    // Bound without a trigger is bound to no key: KDE gives none that another entry holds (the
    // program's own from before it used the portal, say).
    return !m_onPortal || m_portal.state() == PortalShortcuts::State::unavailable ||
           (m_portal.state() == PortalShortcuts::State::bound &&
            m_portal.triggerDescription(m_id).isEmpty());
}

void PortalHotKey::follow() {
    if (!m_keys)
        return;
    if (portalHolds() && m_fallbackHolds) {
        m_fallback->unregisterHotKey();
        m_fallbackHolds = false;
    } else if (portalCannotHold() && !m_fallbackHolds && m_fallback) {
        m_fallbackHolds = m_fallback->registerHotKey(*m_keys, m_onPressed);
        if (!m_fallbackHolds)
            qCWarning(lc) << "neither the desktop portal nor its stand-in holds a shortcut";
    }
}

} // namespace ovra::platform
