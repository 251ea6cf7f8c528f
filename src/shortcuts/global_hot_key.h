#pragma once

#include "platform/hot_key_service.h"
#include "settings/quick_actions.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace ovra {

class Prefs;

// The shortcuts as they are held, which is not always what is stored.
namespace StoredHotKey {
// The panel's shortcut; the default instead of stored values that name no shortcut (only
// reachable by editing the settings by hand) or of a stored editing chord (Ctrl+V…), so that
// neither a half-default combination nor copy or paste is ever grabbed.
QKeyCombination fromPrefs(const Prefs& prefs);
// An action's own shortcut: nothing when unset, nor for values that name no shortcut or an
// editing chord (an action has no default to fall back on).
std::optional<QKeyCombination> forAction(const Prefs& prefs, QuickAction action);
} // namespace StoredHotKey

// One system-wide shortcut: the one that opens the panel for the current selection, or an action's
// own. The owner unregisters it before registering again after a change of the stored shortcut,
// and at exit.
class GlobalHotKey {
public:
    // The panel's shortcut.
    GlobalHotKey(HotKeyService& service, const Prefs& prefs, std::function<void()> onTrigger);
    // A shortcut read by `stored` at each registration; nothing registered while it gives nothing.
    GlobalHotKey(HotKeyService& service, std::function<std::optional<QKeyCombination>()> stored,
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
    std::function<std::optional<QKeyCombination>()> m_stored;
    std::function<void()> m_onTrigger;
    bool m_registered = false;
    // Presses delivered after this object is gone find it gone and do nothing.
    QObject m_lifetime;
};

} // namespace ovra
