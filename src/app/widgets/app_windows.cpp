#include "app/widgets/app_windows.h"

#include "app/widgets/no_key_warning_window.h"
#include "app/widgets/tray_icon.h"
#include "dialogs/widgets/ai_settings_window.h"
#include "dialogs/widgets/feedback_window.h"
#include "dialogs/widgets/ignored_apps_window.h"
#include "dialogs/widgets/preferences_window.h"

#include <QSystemTrayIcon>

namespace ovra {

AppWindows::AppWindows(Dependencies dependencies) : m_deps(std::move(dependencies)) {}

AppWindows::~AppWindows() = default;

void AppWindows::setupTrayIcon(AppDelegate& delegate) {
    if (!m_trayIcon)
        m_trayIcon = std::make_unique<TrayIcon>(delegate);
}

void AppWindows::showWelcome(std::function<void(const WelcomeAnswer&)> done) {
    m_dialogs.showWelcome(std::move(done));
}

void AppWindows::editUserName(const QString& current,
                              std::function<void(const std::optional<QString>&)> done) {
    m_dialogs.editUserName(current, std::move(done));
}

void AppWindows::showAbout(const QString& message) {
    m_dialogs.showAbout(message);
}

void AppWindows::showNotice(const QString& message) {
    // A notification from the tray; without a tray to send it there is no one to tell.
    if (!m_trayIcon || !m_trayIcon->tray().isVisible() || !QSystemTrayIcon::supportsMessages())
        return;
    m_trayIcon->tray().showMessage(QStringLiteral("Ovra"), message, QSystemTrayIcon::Information);
}

void AppWindows::showNoKeyWarning(std::function<void()> onConfigureNow) {
    if (!m_noKeyWarning) {
        m_noKeyWarning = std::make_unique<NoKeyWarningWindow>(m_deps.prefs);
        QObject::connect(m_noKeyWarning.get(), &NoKeyWarningWindow::configureNowRequested,
                         m_noKeyWarning.get(), std::move(onConfigureNow));
    }
    m_noKeyWarning->show();
}

void AppWindows::showPreferences(std::function<void()> onOpenEngines,
                                 std::function<void()> onOpenIgnored,
                                 std::function<void()> onHotKeyChanged) {
    if (!m_preferences) {
        m_preferences = std::make_unique<PreferencesWindow>(
            m_deps.prefs, m_deps.translation, m_deps.autostart, std::move(onHotKeyChanged));
        QObject::connect(m_preferences.get(), &PreferencesWindow::openEnginesRequested,
                         m_preferences.get(), std::move(onOpenEngines));
        QObject::connect(m_preferences.get(), &PreferencesWindow::openIgnoredRequested,
                         m_preferences.get(), std::move(onOpenIgnored));
        m_preferences->shortcutSetup = m_deps.shortcutSetup;
    }
    m_preferences->show();
}

void AppWindows::showAISettings() {
    if (!m_aiSettings)
        m_aiSettings =
            std::make_unique<AISettingsWindow>(m_deps.prefs, m_deps.keys, m_deps.scheduler);
    m_aiSettings->show();
}

void AppWindows::showIgnoredApps() {
    if (!m_ignoredApps)
        m_ignoredApps = std::make_unique<IgnoredAppsWindow>(m_deps.prefs, m_deps.appName);
    m_ignoredApps->show();
}

void AppWindows::showFeedback() {
    if (!m_feedback)
        m_feedback = std::make_unique<FeedbackWindow>(m_deps.prefs);
    m_feedback->show();
}

void AppWindows::quit() {
    if (m_deps.quit)
        m_deps.quit();
}

} // namespace ovra
