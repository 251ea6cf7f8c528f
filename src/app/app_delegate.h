#pragma once

#include "app/app_ui.h"
#include "app/status_menu_model.h"
#include "capture/selection_snapshot.h"
#include "platform/subscription.h"
#include "settings/quick_actions.h"
#include "shortcuts/global_hot_key.h"
#include "support/scheduler.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ovra {

class Prefs;
class KeyStore;
class WorkspaceServices;
class AccessibilitySwitch;
class HotKeyService;
class PanelController;
class QuickActionFlow;
class SelectionMonitor;

// The application shell: starts everything in order, wires the selection monitor to the panel
// and to the global shortcut, remembers the last application the user worked in, runs the
// status menu's commands and stops everything at the end. Main thread only.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds welcomeDelay{400};
    static constexpr std::chrono::milliseconds noKeyWarningDelay{600};

    struct Dependencies {
        Prefs& prefs;
        KeyStore& keys;
        Scheduler& scheduler;
        WorkspaceServices& workspace;
        AccessibilitySwitch& accessSwitch;
        HotKeyService& hotKeys;
        AppUI& ui;
        std::function<std::unique_ptr<PanelController>()> makePanelController;
        std::function<std::unique_ptr<SelectionMonitor>()> makeSelectionMonitor;
        QString ownAppId; // this application's id
        QString version;  // shown in the about alert
        // Makes the session start this program; run once, at the first launch.
        std::function<void()> enableSessionStart = {};
        // The desktop's hold on each action's own shortcut; null where it has none.
        std::function<HotKeyService*(QuickAction)> actionHotKeys = {};
        // The replacing actions' flow and card; made with the panel.
        std::function<std::unique_ptr<QuickActionFlow>()> makeQuickActionFlow = {};
    };

    explicit AppDelegate(Dependencies dependencies, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Tray, last-application tracking, welcome or no-key warning; then, one step later, the
    // panel, the monitor and the shortcut.
    void start();
    // Releases the shortcut and stops the monitor; safe to call more than once.
    void shutDown();

    // Runs an action asked for from outside (a second start, the desktop, a script): empty to
    // bring the program forward (its preferences), else "capture", "preferences", "engines",
    // "quit" or a quick action's name. False for an unknown action.
    bool activateAction(const QString& action);
    // Captures the selection as the shortcut does and runs `action` on it: a replacing action
    // writes its result back and tells it on its card, the others open the panel with their work
    // running.
    void runQuickAction(QuickAction action);
    // The desktop shows no tray icon (at start, or since the tray went away): preferences open
    // once, telling the user how to come back.
    void trayIconUnavailable();

    // The status menu's rows as they are now.
    QList<MenuRow> menuRows();
    // Runs the command of a chosen row.
    void perform(const MenuRow& row);

    // Menu commands.
    void editUserName();
    void requestAccessibility();
    void selectTargetLanguage(const QString& code);
    void showTranslationBox(); // the manual capture
    void openAISettings();
    void openPreferences();
    void ignoreCurrentApp();
    void openIgnoredApps();
    void openFeedback();
    void showAbout();
    void quitApp();

    const std::optional<ExternalApp>& lastExternalApp() const { return m_lastExternalApp; }
    PanelController* panelController() const { return m_panelController.get(); }
    SelectionMonitor* selectionMonitor() const { return m_selectionMonitor.get(); }
    GlobalHotKey* globalHotKey() const { return m_globalHotKey.get(); }
    QuickActionFlow* quickActionFlow() const { return m_quickActionFlow.get(); }

private:
    void trackLastExternalApp();
    void rememberIfExternal(const QString& appId, const QString& name);
    // Once the accessibility switch has been read: on the first run, the welcome where access is
    // off; after it, the switch turned back on.
    QCoro::Task<> welcomeOrSwitchOn(bool didShowWelcome);
    // Turns the accessibility switch on when it is off, and says once that applications started
    // before may need a restart.
    QCoro::Task<> ensureAccessibilityOn();
    void handleWelcome(const AppUI::WelcomeAnswer& answer);
    void maybeShowNoKeyWarning(bool isDebutLaunch);
    void startCapture();
    void reregisterHotKey();
    void deliverToAction(QuickAction action, const SelectionSnapshot& snapshot);
    // Runs `work` as a following main-thread step, skipped once this delegate is gone.
    void later(std::chrono::milliseconds delay, std::function<void(AppDelegate&)> work);

    Dependencies m_deps;
    std::optional<ExternalApp> m_lastExternalApp;
    std::unique_ptr<PanelController> m_panelController;
    std::unique_ptr<SelectionMonitor> m_selectionMonitor;
    std::unique_ptr<GlobalHotKey> m_globalHotKey;
    std::unique_ptr<QuickActionFlow> m_quickActionFlow;
    std::vector<std::unique_ptr<GlobalHotKey>> m_actionHotKeys;
    Subscription m_activationObserver;
    bool m_launched = false;
    bool m_toldAboutRestart = false;
};

} // namespace ovra
