#include "shortcuts/global_hot_key.h"

#include "settings/prefs.h"
#include "shortcuts/shortcut_recording.h"
#include "support/work_owner.h"

namespace ovra {

QKeyCombination StoredHotKey::fromPrefs(const Prefs& prefs) {
    const std::optional<QKeyCombination> stored = prefs.hotKey();
    // An editing chord stored by an earlier version would take copy or paste from every
    // application; the default is held instead until the user records another shortcut.
    if (!stored || ShortcutRecording::isEditingChord(*stored))
        return Prefs::defaultHotKey;
    return *stored;
}

std::optional<QKeyCombination> StoredHotKey::forAction(const Prefs& prefs, QuickAction action) {
    const std::optional<QKeyCombination> stored = prefs.actionHotKey(action);
    if (!stored || ShortcutRecording::isEditingChord(*stored))
        return std::nullopt;
    return stored;
}

GlobalHotKey::GlobalHotKey(HotKeyService& service, const Prefs& prefs,
                           std::function<void()> onTrigger)
    : GlobalHotKey(
          service,
          [&prefs]() -> std::optional<QKeyCombination> { return StoredHotKey::fromPrefs(prefs); },
          std::move(onTrigger)) {}

GlobalHotKey::GlobalHotKey(HotKeyService& service,
                           std::function<std::optional<QKeyCombination>()> stored,
                           std::function<void()> onTrigger)
    : m_service(service), m_stored(std::move(stored)), m_onTrigger(std::move(onTrigger)) {}

GlobalHotKey::~GlobalHotKey() {
    unregisterHotKey();
}

bool GlobalHotKey::registerHotKey() {
    if (m_registered)
        return true;
    const std::optional<QKeyCombination> keys = m_stored();
    if (!keys)
        return false;
    m_registered = m_service.registerHotKey(*keys, whileAlive(&m_lifetime, [this] {
        if (m_onTrigger)
            m_onTrigger();
    }));
    return m_registered;
}

void GlobalHotKey::unregisterHotKey() {
    if (!m_registered)
        return;
    m_service.unregisterHotKey();
    m_registered = false;
}

} // namespace ovra
