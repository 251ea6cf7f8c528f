#pragma once

#include "platform/hot_key_service.h"
#include "settings/quick_actions.h"

#include <functional>
#include <memory>
#include <optional>

namespace ovra {

class Prefs;

// The stored shortcut as the platform receives it.
struct StoredHotKey {
    quint32 keyCode = 0;
    quint32 carbonModifiers = 0;
    bool operator==(const StoredHotKey&) const = default;

    // "hotKeyCode" and "hotKeyModifiers"; when either lies outside the unsigned 32-bit range (only
    // reachable by editing the settings by hand) the default shortcut is used as a whole, so a
    // half-default combination is never grabbed. So it is for a stored editing chord (Ctrl+V…).
    static StoredHotKey fromPrefs(const Prefs& prefs);
    // An action's own shortcut: nothing when unset, and nothing either when out of range or an
    // editing chord (an action has no default to fall back on).
    static std::optional<StoredHotKey> forAction(const Prefs& prefs, QuickAction action);
};

// One system-wide shortcut: the one that opens the panel for the current selection, or an action's
// own. The owner unregisters it before registering again after a change of the stored shortcut,
// and at exit.
class GlobalHotKey {
public:
    // The panel's shortcut.
    GlobalHotKey(HotKeyService& service, const Prefs& prefs, std::function<void()> onTrigger);
    // A shortcut read by `stored` at each registration; nothing registered while it gives nothing.
    GlobalHotKey(HotKeyService& service, std::function<std::optional<StoredHotKey>()> stored,
                 std::function<void()> onTrigger);
    ~GlobalHotKey();
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Registers the stored shortcut; true when it is registered (or already was).
    bool registerHotKey();
    // Releases the shortcut when registered.
    void unregisterHotKey();
    bool isRegistered() const { return m_registered; }

private:
    HotKeyService& m_service;
    std::function<std::optional<StoredHotKey>()> m_stored;
    std::function<void()> m_onTrigger;
    bool m_registered = false;
    // Presses delivered after this object is gone find the token expired and do nothing.
    std::shared_ptr<GlobalHotKey*> m_alive = std::make_shared<GlobalHotKey*>(this);
};

} // namespace ovra
