#pragma once

#include "settings/catalogues.h"
#include "settings/defaults_store.h"
#include "settings/quick_actions.h"

#include <QKeyCombination>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace ovra {

// One application in which the panel is never shown.
struct IgnoredApp {
    QString appId; // application id, never empty in a list returned by Prefs
    QString name;  // display name when it was ignored; may be empty
    bool operator==(const IgnoredApp&) const = default;
};

// The application's persistent settings, with their defaults and the rules that turn absent,
// malformed or outdated stored values into usable ones. Nothing is cached here: every read goes to
// the defaults store and every write reaches it at once.
class Prefs {
public:
    struct Keys {
        static inline const QString aiProvider = QStringLiteral("aiProvider");
        static inline const QString onlineTranslationProvider =
            QStringLiteral("onlineTranslationProvider");
        static inline const QString baseURLPrefix = QStringLiteral("onlineAIBaseURL.");
        static inline const QString modelPrefix = QStringLiteral("onlineAIModel.");
        static inline const QString legacyBaseURL = QStringLiteral("onlineAIBaseURL");
        static inline const QString legacyModel = QStringLiteral("onlineAIModel");
        static inline const QString targetLanguage = QStringLiteral("targetLanguage");
        static inline const QString appLanguage = QStringLiteral("appLanguage");
        static inline const QString userName = QStringLiteral("userName");
        static inline const QString hotKeyCode = QStringLiteral("hotKeyCode");
        static inline const QString hotKeyModifiers = QStringLiteral("hotKeyModifiers");
        // Followed by the action's name ("actionHotKeyCode.translate-replace").
        static inline const QString actionHotKeyCodePrefix = QStringLiteral("actionHotKeyCode.");
        static inline const QString actionHotKeyModifiersPrefix =
            QStringLiteral("actionHotKeyModifiers.");
        static inline const QString ignoredApps = QStringLiteral("ignoredApps");
        static inline const QString legacyIgnoredAppIds = QStringLiteral("ignoredBundleIDs");
        static inline const QString didShowWelcome = QStringLiteral("didShowWelcome");
        static inline const QString suppressNoKeyWarning = QStringLiteral("suppressNoKeyWarning");
        static inline const QString didShowNoTrayNotice = QStringLiteral("didShowNoTrayNotice");
    };
    // Stored as the T key's code and command + option (17 and 2304).
    static constexpr QKeyCombination defaultHotKey{Qt::MetaModifier | Qt::AltModifier, Qt::Key_T};

    // `resolvedGoogleKey` decides the default online translation service.
    Prefs(DefaultsStore& defaults, std::function<std::optional<QString>()> resolvedGoogleKey);

    // The process-wide settings over "<XDG config>/ovra/defaults.json", created once.
    static Prefs& shared();

    DefaultsStore& defaults() const { return m_defaults; }

    AIProvider aiProvider() const;
    // The setters below return false when the change could not be stored.
    bool setAIProvider(AIProvider provider);

    OnlineTranslationProvider onlineTranslationProvider() const;
    bool setOnlineTranslationProvider(OnlineTranslationProvider provider);

    // The catalogue's address for a named provider, whatever is stored; the custom provider's
    // stored one (or that of earlier versions).
    QString baseURL(AIProvider provider) const;
    bool setBaseURL(AIProvider provider, const QString& url); // read back for `custom` only
    QString model(AIProvider provider) const;
    bool setModel(AIProvider provider, const QString& model);

    TargetLanguage targetLanguage() const;
    void setTargetLanguage(const TargetLanguage& language);

    AppLanguage appLanguage() const;
    void setAppLanguage(AppLanguage language);

    std::optional<QString> userName() const;
    void setUserName(const std::optional<QString>& name);

    // The panel's shortcut; each of its two keys, when absent or not an integer, reads as the
    // default's. Nothing when the values name no shortcut (see StoredShortcut::toKeys).
    std::optional<QKeyCombination> hotKey() const;
    // A combination the stored form cannot hold (StoredShortcut::fromKeys) is not written.
    void setHotKey(QKeyCombination keys);
    void resetHotKey(); // removes both keys together, restoring the default

    // An action's own shortcut: unset by default, and unset too when either key is absent or not
    // an integer, or when the values name no shortcut.
    std::optional<QKeyCombination> actionHotKey(QuickAction action) const;
    void setActionHotKey(QuickAction action, QKeyCombination keys);
    void clearActionHotKey(QuickAction action);

    QList<IgnoredApp> ignoredApps() const;
    void setIgnoredApps(const QList<IgnoredApp>& apps);
    bool isIgnored(const QString& appId) const;
    void ignore(const QString& appId, const QString& name);
    void unignore(const QString& appId);

    bool didShowWelcome() const;
    void setDidShowWelcome(bool value);
    bool suppressNoKeyWarning() const;
    void setSuppressNoKeyWarning(bool value);
    // Preferences were opened once because the desktop shows no tray.
    bool didShowNoTrayNotice() const;
    void setDidShowNoTrayNotice(bool value);

private:
    QString providerValue(const QString& prefix, const QString& legacyKey, AIProvider provider,
                          const QString& fallback) const;

    DefaultsStore& m_defaults;
    std::function<std::optional<QString>()> m_resolvedGoogleKey;
};

} // namespace ovra
