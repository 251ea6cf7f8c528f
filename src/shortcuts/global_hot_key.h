#pragma once

#include "platform/hot_key_service.h"

#include <functional>
#include <memory>

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
};

// The one system-wide shortcut that opens the panel for the current selection. The owner
// unregisters it before registering again after a change of the stored shortcut, and at exit.
class GlobalHotKey {
public:
    GlobalHotKey(HotKeyService& service, const Prefs& prefs, std::function<void()> onTrigger);
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
    const Prefs& m_prefs;
    std::function<void()> m_onTrigger;
    bool m_registered = false;
    // Presses delivered after this object is gone find the token expired and do nothing.
    std::shared_ptr<GlobalHotKey*> m_alive = std::make_shared<GlobalHotKey*>(this);
};

} // namespace ovra
