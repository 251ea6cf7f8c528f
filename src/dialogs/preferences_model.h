#pragma once

#include "dialogs/language_pack_list.h"
#include "platform/session_autostart.h"
#include "settings/catalogues.h"
#include "settings/quick_actions.h"
#include "shortcuts/shortcut_holder.h"
#include "shortcuts/shortcut_setup.h"
#include "support/cancellation.h"

#include <QKeyCombination>
#include <QObject>
#include <QString>
#include <Qt>
#include <functional>
#include <memory>
#include <optional>

namespace ovra {

class Prefs;
class TranslationService;

// The preferences window's state: the shortcut and its recording, the interface language and the
// language packs. Main thread only.
class PreferencesModel final : public QObject {
    Q_OBJECT
public:
    using PackStatus = LanguagePackList::PackStatus;

    // `postHotKeyChanged` tells the shell to register the shortcut again.
    PreferencesModel(Prefs& prefs, TranslationService& translation, SessionAutostart& autostart,
                     std::function<void()> postHotKeyChanged, QObject* parent = nullptr);
    ~PreferencesModel() override;

    AppLanguage appLanguage() const { return m_appLanguage; }
    // Stores the language; every text of the window follows at once. The pack base stays.
    void setAppLanguage(AppLanguage language);

    const QString& shortcutDisplay() const { return m_shortcutDisplay; }
    bool isDefaultShortcut() const { return m_isDefaultShortcut; }
    void refreshShortcutDisplay();
    void restoreDefaultShortcut();

    // An action's own shortcut as shown; empty while unset.
    QString actionShortcutDisplay(QuickAction action) const;
    void clearActionShortcut(QuickAction action);

    // While recording, the window routes the key presses sent to its recorder here; it stops
    // recording when it hides or loses the keyboard. Recording is for the panel's shortcut, or
    // for `action`'s; the same rules apply to both, and a combination another of them holds is
    // refused.
    bool isRecording() const { return m_isRecording; }
    void startRecording();
    void startRecording(QuickAction action);
    // The action being recorded; nothing while the panel's shortcut is (or nothing is).
    std::optional<QuickAction> recordingAction() const { return m_recordingAction; }
    void stopRecording();
    // One key press while recording; true when it was consumed (every press is, while recording).
    bool handleRecordingKey(int qtKey, Qt::KeyboardModifiers modifiers);
    // The last key pressed while recording could not be a shortcut; recording goes on, and the
    // stored shortcut stays. Cleared when recording starts or stops.
    bool isShortcutRefused() const { return m_isShortcutRefused; }
    // Why: no modifier or an editing chord, or held by another action (or the panel).
    bool isShortcutTaken() const { return m_isShortcutTaken; }

    LanguagePackList& packs() { return *m_packs; }
    const QString& packBaseCode() const { return m_packs->packBaseCode(); }
    void setPackBaseCode(const QString& code) { m_packs->setPackBaseCode(code); }
    PackStatus packStatus(const QString& code) const { return m_packs->status(code); }
    std::optional<QString> packFailure(const QString& code) const { return m_packs->failure(code); }
    void downloadPack(const QString& code) { m_packs->downloadPack(code); }
    // The pack language's name in the current interface language.
    QString languageName(const QString& code) const;

    // Whether the session starts Ovra, read from the autostart entry each time.
    bool startsWithSession() const { return m_autostart.isEnabled(); }
    // Writes or removes the entry; startsWithSessionChanged tells the state that resulted.
    void setStartsWithSession(bool enabled);

    // What the window says about the shortcut where the desktop does not let the program hold it.
    enum class ShortcutNotice {
        none,
        needsExtension,   // with a button that enables the extension
        extensionEnabled, // it works after the next login
        extensionFailed,
        bindInSettings,
    };
    void setShortcutSetup(ShortcutSetup setup);
    ShortcutNotice shortcutNotice() const { return m_shortcutNotice; }
    // What holds the panel's shortcut now; null where nobody says.
    const ShortcutHolder* shortcutHolder() const { return m_shortcutSetup.holder; }
    // Enables the shell extension (needsExtension only).
    void enableShellExtension();

    // The window came on screen: look at every pack again, until it leaves the screen.
    void viewShown();
    void viewHidden();

Q_SIGNALS:
    void appLanguageChanged();
    void shortcutChanged();
    void recordingChanged(bool recording);
    void shortcutRefusedChanged(bool refused);
    void startsWithSessionChanged(bool enabled);
    void shortcutNoticeChanged();
    void shortcutHolderChanged();

private:
    void setShortcutRefused(bool refused, bool taken = false);
    // Where the user was told to bind the shortcut, a portal that holds it ends the notice.
    void followShortcutHolder();
    // Whether the combination is held by a shortcut other than the one being recorded.
    bool isTakenByAnother(QKeyCombination pressed) const;

    Prefs& m_prefs;
    SessionAutostart& m_autostart;
    std::function<void()> m_postHotKeyChanged;
    AppLanguage m_appLanguage;
    QString m_shortcutDisplay;
    bool m_isDefaultShortcut = true;
    bool m_isRecording = false;
    bool m_isShortcutRefused = false;
    bool m_isShortcutTaken = false;
    std::optional<QuickAction> m_recordingAction;
    ShortcutSetup m_shortcutSetup;
    ShortcutNotice m_shortcutNotice = ShortcutNotice::none;
    std::unique_ptr<LanguagePackList> m_packs;
    std::unique_ptr<CancelSource> m_visibleRefresh;
};

} // namespace ovra
