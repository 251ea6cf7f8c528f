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
class TranslationService;
class StatusItem;
class NoKeyWarningWindowController;
class PreferencesWindowController;
class AISettingsWindowController;
class IgnoredAppsWindowController;
class FeedbackWindowController;

// The shell's windows on the desktop: the tray, the alerts and one controller per window kind,
// each created on first use and kept until the end.
class AppWindows final : public AppUI {
public:
    struct Dependencies {
        Prefs& prefs;
        KeyStore& keys;
        Scheduler& scheduler;
        TranslationService& translation;
        // Display names of ignored applications; may be empty.
        std::function<std::optional<QString>(const QString& bundleID)> appName;
        std::function<void()> quit;
        // What the preferences say about the shortcut on this desktop.
        ShortcutSetup shortcutSetup = {};
    };

    explicit AppWindows(Dependencies dependencies);
    ~AppWindows() override;

    void setupStatusItem(AppDelegate& delegate) override;
    void showWelcome(std::function<void(const WelcomeAnswer&)> done) override;
    void editUserName(const QString& current,
                      std::function<void(const std::optional<QString>&)> done) override;
    void showAbout(const QString& message) override;
    void showNotice(const QString& message) override;
    void showNoKeyWarning(std::function<void()> onConfigureNow) override;
    void showPreferences(std::function<void()> onOpenEngines,
                         std::function<void()> onOpenIgnored) override;
    void showAISettings() override;
    void showIgnoredApps() override;
    void showFeedback() override;
    void quit() override;

    StatusItem* statusItem() const { return m_statusItem.get(); }
    FirstRunDialogs& dialogs() { return m_dialogs; }
    NoKeyWarningWindowController* noKeyWarning() const { return m_noKeyWarning.get(); }
    PreferencesWindowController* preferences() const { return m_preferences.get(); }
    AISettingsWindowController* aiSettings() const { return m_aiSettings.get(); }
    IgnoredAppsWindowController* ignoredApps() const { return m_ignoredApps.get(); }
    FeedbackWindowController* feedback() const { return m_feedback.get(); }

private:
    Dependencies m_deps;
    std::unique_ptr<StatusItem> m_statusItem;
    FirstRunDialogs m_dialogs;
    std::unique_ptr<NoKeyWarningWindowController> m_noKeyWarning;
    std::unique_ptr<PreferencesWindowController> m_preferences;
    std::unique_ptr<AISettingsWindowController> m_aiSettings;
    std::unique_ptr<IgnoredAppsWindowController> m_ignoredApps;
    std::unique_ptr<FeedbackWindowController> m_feedback;
};

} // namespace ovra
