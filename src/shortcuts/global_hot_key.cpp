#include "shortcuts/global_hot_key.h"

#include "settings/prefs.h"
#include "shortcuts/shortcut_recording.h"

#include <limits>

namespace ovra {

namespace {

bool fitsUInt32(qint64 value) {
    return value >= 0 && value <= qint64(std::numeric_limits<quint32>::max());
}

} // namespace

StoredHotKey StoredHotKey::fromPrefs(const Prefs& prefs) {
    const qint64 code = prefs.hotKeyCode();
    const qint64 modifiers = prefs.hotKeyModifiers();
    // An editing chord stored by an earlier version would take copy or paste from every
    // application; the default is held instead until the user records another shortcut.
    if (!fitsUInt32(code) || !fitsUInt32(modifiers) ||
        ShortcutRecording::isEditingChord(quint32(code), quint32(modifiers)))
        return {quint32(Prefs::defaultHotKeyCode), quint32(Prefs::defaultHotKeyModifiers)};
    return {quint32(code), quint32(modifiers)};
}

std::optional<StoredHotKey> StoredHotKey::forAction(const Prefs& prefs, QuickAction action) {
    const std::optional<Prefs::StoredShortcut> stored = prefs.actionHotKey(action);
    if (!stored || !fitsUInt32(stored->code) || !fitsUInt32(stored->modifiers) ||
        ShortcutRecording::isEditingChord(quint32(stored->code), quint32(stored->modifiers)))
        return std::nullopt;
    return StoredHotKey{quint32(stored->code), quint32(stored->modifiers)};
}

GlobalHotKey::GlobalHotKey(HotKeyService& service, const Prefs& prefs,
                           std::function<void()> onTrigger)
    : GlobalHotKey(
          service,
          [&prefs]() -> std::optional<StoredHotKey> { return StoredHotKey::fromPrefs(prefs); },
          std::move(onTrigger)) {}

GlobalHotKey::GlobalHotKey(HotKeyService& service,
                           std::function<std::optional<StoredHotKey>()> stored,
                           std::function<void()> onTrigger)
    : m_service(service), m_stored(std::move(stored)), m_onTrigger(std::move(onTrigger)) {}

GlobalHotKey::~GlobalHotKey() {
    unregisterHotKey();
}

bool GlobalHotKey::registerHotKey() {
    if (m_registered)
        return true;
    const std::optional<StoredHotKey> hotKey = m_stored();
    if (!hotKey)
        return false;
    std::weak_ptr<GlobalHotKey*> weak = m_alive;
    m_registered = m_service.registerHotKey(hotKey->keyCode, hotKey->carbonModifiers, [weak] {
        const auto alive = weak.lock();
        if (!alive)
            return;
        GlobalHotKey& self = **alive;
        if (self.m_onTrigger)
            self.m_onTrigger();
    });
    return m_registered;
}

void GlobalHotKey::unregisterHotKey() {
    if (!m_registered)
        return;
    m_service.unregisterHotKey();
    m_registered = false;
}

} // namespace ovra
