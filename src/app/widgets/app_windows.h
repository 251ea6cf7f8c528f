#pragma once

#include "app/app_ui.h"
#include "app/widgets/first_run_dialogs.h"
#include "shortcuts/shortcut_setup.h"

#include <functional>
#include <memory>

namespace ovra {

class Prefs;
class KeyStore;
class Scheduler;
class SessionAutostart;
class TranslationService;
class TrayIcon;
class NoKeyWarningWindow;
class PreferencesWindow;
class AISettingsWindow;
class IgnoredAppsWindow;
class FeedbackWindow;

// The shell's windows on the desktop: the tray, the alerts and one controller per window kind,
// each created on first use and kept until the end.
class AppWindows final : public AppUI {
public:
    struct Dependencies {
        Prefs& prefs;
        KeyStore& keys;
        Scheduler& scheduler;
        TranslationService& translation;
        // Whether the session starts the program, for the preferences' row.
        SessionAutostart& autostart;
        // Display names of ignored applications; may be empty.
        std::function<std::optional<QString>(const QString& appId)> appName;
        std::function<void()> quit;
        // What the preferences say about the shortcut on this desktop.
        ShortcutSetup shortcutSetup = {};
    };

    explicit AppWindows(Dependencies dependencies);
    ~AppWindows() override;

    void setupTrayIcon(AppDelegate& delegate) override;
    void showWelcome(std::function<void(const WelcomeAnswer&)> done) override;
    void editUserName(const QString& current,
                      std::function<void(const std::optional<QString>&)> done) override;
    void showAbout(const QString& message) override;
    void showNotice(const QString& message) override;
    void showNoKeyWarning(std::function<void()> onConfigureNow) override;
    void showPreferences(std::function<void()> onOpenEngines, std::function<void()> onOpenIgnored,
                         std::function<void()> onHotKeyChanged) override;
    void showAISettings() override;
    void showIgnoredApps() override;
    void showFeedback() override;
    void quit() override;

    TrayIcon* trayIcon() const { return m_trayIcon.get(); }
    FirstRunDialogs& dialogs() { return m_dialogs; }
    NoKeyWarningWindow* noKeyWarning() const { return m_noKeyWarning.get(); }
    PreferencesWindow* preferences() const { return m_preferences.get(); }
    AISettingsWindow* aiSettings() const { return m_aiSettings.get(); }
    IgnoredAppsWindow* ignoredApps() const { return m_ignoredApps.get(); }
    FeedbackWindow* feedback() const { return m_feedback.get(); }

private:
    Dependencies m_deps;
    std::unique_ptr<TrayIcon> m_trayIcon;
    FirstRunDialogs m_dialogs;
    std::unique_ptr<NoKeyWarningWindow> m_noKeyWarning;
    std::unique_ptr<PreferencesWindow> m_preferences;
    std::unique_ptr<AISettingsWindow> m_aiSettings;
    std::unique_ptr<IgnoredAppsWindow> m_ignoredApps;
    std::unique_ptr<FeedbackWindow> m_feedback;
};

} // namespace ovra
