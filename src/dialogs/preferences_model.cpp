#include "dialogs/preferences_model.h"

#include "dialogs/pack_language_names.h"
#include "settings/prefs.h"
#include "shortcuts/global_hot_key.h"
#include "shortcuts/hot_key_formatter.h"
#include "shortcuts/shortcut_recording.h"
#include "support/errors.h"

namespace ovra {

PreferencesModel::PreferencesModel(Prefs& prefs, TranslationService& translation,
                                   SessionAutostart& autostart,
                                   std::function<void()> postHotKeyChanged, QObject* parent)
    : QObject(parent), m_prefs(prefs), m_autostart(autostart),
      m_postHotKeyChanged(std::move(postHotKeyChanged)), m_appLanguage(prefs.appLanguage()),
      m_packs(std::make_unique<LanguagePackList>(translation, rawValue(m_appLanguage))) {
    refreshShortcutDisplay();
}

PreferencesModel::~PreferencesModel() {
    viewHidden();
}

void PreferencesModel::setAppLanguage(AppLanguage language) {
    m_prefs.setAppLanguage(language);
    if (language == m_appLanguage)
        return;
    m_appLanguage = language;
    Q_EMIT appLanguageChanged();
}

void PreferencesModel::refreshShortcutDisplay() {
    // What is registered, which is not always what is stored.
    const QKeyCombination held = StoredHotKey::fromPrefs(m_prefs);
    m_shortcutDisplay = HotKeyFormatter::displayString(held);
    m_isDefaultShortcut = held == Prefs::defaultHotKey;
    Q_EMIT shortcutChanged();
}

void PreferencesModel::setShortcutSetup(ShortcutSetup setup) {
    if (m_shortcutSetup.holder)
        disconnect(m_shortcutSetup.holder, nullptr, this, nullptr);
    m_shortcutSetup = std::move(setup);
    switch (m_shortcutSetup.kind) {
    case ShortcutSetup::Kind::held:
        m_shortcutNotice = ShortcutNotice::none;
        break;
    case ShortcutSetup::Kind::needsShellExtension:
        m_shortcutNotice = ShortcutNotice::needsExtension;
        break;
    case ShortcutSetup::Kind::bindInDesktopSettings:
        m_shortcutNotice = ShortcutNotice::bindInSettings;
        break;
    }
    if (m_shortcutSetup.holder)
        connect(m_shortcutSetup.holder, &ShortcutHolder::changed, this,
                &PreferencesModel::followShortcutHolder);
    followShortcutHolder();
    Q_EMIT shortcutNoticeChanged();
}

void PreferencesModel::followShortcutHolder() {
    if (m_shortcutSetup.kind == ShortcutSetup::Kind::bindInDesktopSettings) {
        const bool portal = m_shortcutSetup.holder &&
                            m_shortcutSetup.holder->kind() == ShortcutHolder::Kind::desktopPortal;
        const ShortcutNotice notice =
            portal ? ShortcutNotice::none : ShortcutNotice::bindInSettings;
        if (notice != m_shortcutNotice) {
            m_shortcutNotice = notice;
            Q_EMIT shortcutNoticeChanged();
        }
    }
    Q_EMIT shortcutHolderChanged();
}

void PreferencesModel::enableShellExtension() {
    if (m_shortcutNotice != ShortcutNotice::needsExtension &&
        m_shortcutNotice != ShortcutNotice::extensionFailed)
        return;
    const bool enabled = m_shortcutSetup.enableExtension && m_shortcutSetup.enableExtension();
    m_shortcutNotice = enabled ? ShortcutNotice::extensionEnabled : ShortcutNotice::extensionFailed;
    Q_EMIT shortcutNoticeChanged();
}

void PreferencesModel::restoreDefaultShortcut() {
    m_prefs.resetHotKey();
    refreshShortcutDisplay();
    m_postHotKeyChanged();
}

QString PreferencesModel::actionShortcutDisplay(QuickAction action) const {
    const std::optional<QKeyCombination> held = StoredHotKey::forAction(m_prefs, action);
    return held ? HotKeyFormatter::displayString(*held) : QString();
}

void PreferencesModel::clearActionShortcut(QuickAction action) {
    m_prefs.clearActionHotKey(action);
    Q_EMIT shortcutChanged();
    m_postHotKeyChanged();
}

void PreferencesModel::startRecording() {
    if (m_isRecording)
        return;
    setShortcutRefused(false);
    m_recordingAction.reset();
    m_isRecording = true;
    Q_EMIT recordingChanged(true);
}

void PreferencesModel::startRecording(QuickAction action) {
    if (m_isRecording)
        return;
    setShortcutRefused(false);
    m_recordingAction = action;
    m_isRecording = true;
    Q_EMIT recordingChanged(true);
}

bool PreferencesModel::isTakenByAnother(QKeyCombination pressed) const {
    if (m_recordingAction && StoredHotKey::fromPrefs(m_prefs) == pressed)
        return true;
    for (const QuickAction action : quickActions) {
        if (action != m_recordingAction && StoredHotKey::forAction(m_prefs, action) == pressed)
            return true;
    }
    return false;
}

void PreferencesModel::stopRecording() {
    setShortcutRefused(false);
    const bool wasRecording = m_isRecording;
    m_isRecording = false;
    if (wasRecording)
        Q_EMIT recordingChanged(false);
}

void PreferencesModel::setShortcutRefused(bool refused, bool taken) {
    if (refused == m_isShortcutRefused && taken == m_isShortcutTaken)
        return;
    m_isShortcutRefused = refused;
    m_isShortcutTaken = refused && taken;
    Q_EMIT shortcutRefusedChanged(refused);
}

bool PreferencesModel::handleRecordingKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (!m_isRecording)
        return false;
    const RecordedKeyPress press = ShortcutRecording::interpret(qtKey, modifiers);
    switch (press.kind) {
    case RecordedKeyPress::Kind::cancel:
        stopRecording();
        break;
    case RecordedKeyPress::Kind::ignore:
        break;
    case RecordedKeyPress::Kind::refuse:
        setShortcutRefused(true);
        break;
    case RecordedKeyPress::Kind::record:
        if (isTakenByAnother(press.keys)) {
            setShortcutRefused(true, true);
            break;
        }
        if (const std::optional<QuickAction> action = m_recordingAction)
            m_prefs.setActionHotKey(*action, press.keys);
        else
            m_prefs.setHotKey(press.keys);
        stopRecording();
        refreshShortcutDisplay();
        m_postHotKeyChanged();
        break;
    }
    return true;
}

QString PreferencesModel::languageName(const QString& code) const {
    return PackLanguageNames::name(code, m_prefs.appLanguage());
}

void PreferencesModel::setStartsWithSession(bool enabled) {
    m_autostart.setEnabled(enabled);
    // A refused write leaves the entry as it was, and the row shows that.
    Q_EMIT startsWithSessionChanged(m_autostart.isEnabled());
}

void PreferencesModel::viewShown() {
    viewHidden();
    m_visibleRefresh = std::make_unique<CancelSource>();
    [](LanguagePackList& packs, CancelToken token) -> QCoro::Task<void> {
        try {
            co_await packs.refreshPackStatuses(token);
        } catch (const CancelledError&) {
        }
    }(*m_packs, m_visibleRefresh->token());
}

void PreferencesModel::viewHidden() {
    if (m_visibleRefresh) {
        m_visibleRefresh->cancel();
        m_visibleRefresh.reset();
    }
}

} // namespace ovra
