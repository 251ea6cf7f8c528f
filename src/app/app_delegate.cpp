#include "app/app_delegate.h"

#include "app/shell_texts.h"
#include "capture/selection_monitor.h"
#include "panel/panel_controller.h"
#include "panel/quick_action_flow.h"
#include "platform/accessibility_switch.h"
#include "platform/workspace_services.h"
#include "settings/key_store.h"
#include "settings/l10n.h"
#include "settings/prefs.h"
#include "support/work_owner.h"

namespace ovra {

AppDelegate::AppDelegate(Dependencies dependencies, QObject* parent)
    : QObject(parent), m_deps(std::move(dependencies)) {}

AppDelegate::~AppDelegate() {
    shutDown();
    // The panel refers to the monitor through its hide callback; it goes first.
    m_quickActionFlow.reset();
    m_panelController.reset();
    m_selectionMonitor.reset();
}

void AppDelegate::later(std::chrono::milliseconds delay, std::function<void(AppDelegate&)> work) {
    m_deps.scheduler.schedule(delay, this, [this, work = std::move(work)] { work(*this); });
}

void AppDelegate::start() {
    if (m_launched)
        return;
    m_launched = true;
    m_deps.ui.setupTrayIcon(*this);
    trackLastExternalApp();
    const bool didShowWelcome = m_deps.prefs.didShowWelcome();
    welcomeOrSwitchOn(didShowWelcome);
    m_deps.prefs.setDidShowWelcome(true);
    if (!didShowWelcome && m_deps.enableSessionStart)
        m_deps.enableSessionStart();
    maybeShowNoKeyWarning(!didShowWelcome);
    later(Duration{0}, [](AppDelegate& self) { self.startCapture(); });
}

void AppDelegate::startCapture() {
    m_panelController = m_deps.makePanelController();
    m_selectionMonitor = m_deps.makeSelectionMonitor();
    if (m_deps.makeQuickActionFlow)
        m_quickActionFlow = m_deps.makeQuickActionFlow();
    if (m_selectionMonitor) {
        PanelController* panel = m_panelController.get();
        QuickActionFlow* flow = m_quickActionFlow.get();
        m_selectionMonitor->setOnSnapshot([panel, flow](const SelectionSnapshot& snapshot) {
            // A panel for another selection takes over from an earlier action's card.
            if (flow)
                flow->close();
            if (panel)
                panel->show(snapshot);
        });
        m_selectionMonitor->setOnDismiss([panel, flow] {
            if (panel)
                panel->hide();
            // Escape, a click elsewhere or typing ends an action still working; its card stays
            // once the text is written, for the user to undo.
            if (flow)
                flow->cancel();
        });
    }
    if (m_panelController) {
        connect(m_panelController.get(), &PanelController::hidden, this,
                [this](const SelectionSnapshot& shown) {
                    // The selection the user just closed the panel on must not bring it straight
                    // back.
                    if (m_selectionMonitor)
                        m_selectionMonitor->setSuppressedSignature(
                            SelectionMonitor::signature(shown));
                });
    }
    if (m_selectionMonitor)
        m_selectionMonitor->start();

    m_globalHotKey = std::make_unique<GlobalHotKey>(
        m_deps.hotKeys, m_deps.prefs, whileAlive(this, [this] { showTranslationBox(); }));
    // A shortcut the desktop refuses leaves the menu command as the way in.
    m_globalHotKey->registerHotKey();
    for (const QuickAction action : quickActions) {
        HotKeyService* service = m_deps.actionHotKeys ? m_deps.actionHotKeys(action) : nullptr;
        if (!service)
            continue;
        const Prefs& prefs = m_deps.prefs;
        auto hotKey = std::make_unique<GlobalHotKey>(
            *service, [&prefs, action] { return StoredHotKey::forAction(prefs, action); },
            whileAlive(this, [this, action] { runQuickAction(action); }));
        hotKey->registerHotKey(); // unset by default: nothing held then
        m_actionHotKeys.push_back(std::move(hotKey));
    }
}

void AppDelegate::reregisterHotKey() {
    if (!m_globalHotKey)
        return;
    // All released first: a combination moved from one action to another must be free again.
    m_globalHotKey->unregisterHotKey();
    for (const auto& hotKey : m_actionHotKeys)
        hotKey->unregisterHotKey();
    m_globalHotKey->registerHotKey();
    for (const auto& hotKey : m_actionHotKeys)
        hotKey->registerHotKey();
}

void AppDelegate::runQuickAction(QuickAction action) {
    ensureAccessibilityOn();
    if (!m_selectionMonitor)
        return;
    m_selectionMonitor->triggerManualCapture(
        whileAlive(this, [this, action](const SelectionSnapshot& snapshot) {
            deliverToAction(action, snapshot);
        }));
}

void AppDelegate::deliverToAction(QuickAction action, const SelectionSnapshot& snapshot) {
    if (QuickActions::replacesSelection(action)) {
        if (m_panelController)
            m_panelController->hide();
        if (m_quickActionFlow)
            m_quickActionFlow->run(action, snapshot);
        return;
    }
    if (!m_panelController)
        return;
    if (m_quickActionFlow)
        m_quickActionFlow->close();
    m_panelController->show(snapshot);
    if (PanelViewModel* model = m_panelController->viewModel()) {
        if (action == QuickAction::translate)
            model->translate();
        else
            model->summarize();
    }
}

void AppDelegate::shutDown() {
    if (m_globalHotKey) {
        m_globalHotKey->unregisterHotKey();
        m_globalHotKey.reset();
    }
    m_actionHotKeys.clear(); // each releases its shortcut
    if (m_selectionMonitor)
        m_selectionMonitor->stop();
    m_activationObserver.reset();
}

void AppDelegate::rememberIfExternal(const QString& appId, const QString& name) {
    // Applications without an id cannot be ignored, and this one never is.
    if (appId.isEmpty() || appId == m_deps.ownAppId)
        return;
    m_lastExternalApp = ExternalApp{appId, name.isEmpty() ? appId : name};
}

void AppDelegate::trackLastExternalApp() {
    if (const auto frontmost = m_deps.workspace.frontmostApplication())
        rememberIfExternal(frontmost->appId, frontmost->name);
    m_activationObserver = m_deps.workspace.observeActivation(whileAlive(
        this, [this](const RunningApplication& app) { rememberIfExternal(app.appId, app.name); }));
}

QCoro::Task<> AppDelegate::welcomeOrSwitchOn(bool didShowWelcome) {
    const WorkOwner alive(this);
    co_await m_deps.accessSwitch.readState();
    if (!alive)
        co_return;
    // After the first run no welcome asks again: the switch is simply turned back on.
    if (didShowWelcome) {
        ensureAccessibilityOn();
        co_return;
    }
    if (m_deps.accessSwitch.isAccessEnabled())
        co_return;
    later(welcomeDelay, [](AppDelegate& self) {
        AppDelegate* delegate = &self;
        self.m_deps.ui.showWelcome(
            whileAlive(delegate, [delegate](const AppUI::WelcomeAnswer& answer) {
                delegate->handleWelcome(answer);
            }));
    });
}

void AppDelegate::handleWelcome(const AppUI::WelcomeAnswer& answer) {
    const QString name = answer.name.trimmed();
    if (!name.isEmpty())
        m_deps.prefs.setUserName(name);
    if (answer.requestAccessibility)
        requestAccessibility();
}

void AppDelegate::maybeShowNoKeyWarning(bool isDebutLaunch) {
    if (isDebutLaunch || m_deps.prefs.suppressNoKeyWarning())
        return;
    if (m_deps.keys.aiKeyState(m_deps.prefs.aiProvider()) != KeyStore::KeyState::missing)
        return;
    later(noKeyWarningDelay, [](AppDelegate& self) {
        AppDelegate* delegate = &self;
        self.m_deps.ui.showNoKeyWarning(
            whileAlive(delegate, [delegate] { delegate->openAISettings(); }));
    });
}

bool AppDelegate::activateAction(const QString& action) {
    if (action.isEmpty() || action == u"preferences")
        openPreferences();
    else if (action == u"capture")
        // After the start-up step that creates the monitor, when the program starts with it.
        later(Duration{0}, [](AppDelegate& self) { self.showTranslationBox(); });
    else if (action == u"engines")
        openAISettings();
    else if (action == u"quit")
        quitApp();
    else if (const auto quick = QuickActions::named(action))
        later(Duration{0}, [quick = *quick](AppDelegate& self) { self.runQuickAction(quick); });
    else
        return false;
    return true;
}

void AppDelegate::trayIconUnavailable() {
    if (m_deps.prefs.didShowNoTrayNotice())
        return;
    m_deps.prefs.setDidShowNoTrayNotice(true);
    openPreferences();
}

QList<MenuRow> AppDelegate::menuRows() {
    return StatusMenuModel::rows(StatusMenuModel::readState(
        m_deps.prefs, m_deps.keys, m_deps.accessSwitch.isAccessEnabled(), m_lastExternalApp));
}

void AppDelegate::perform(const MenuRow& row) {
    switch (row.action) {
    case MenuAction::none:
        return;
    case MenuAction::editUserName:
        return editUserName();
    case MenuAction::requestAccessibility:
        return requestAccessibility();
    case MenuAction::selectTargetLanguage:
        return selectTargetLanguage(row.argument);
    case MenuAction::showTranslationBox:
        return showTranslationBox();
    case MenuAction::openAISettings:
        return openAISettings();
    case MenuAction::openPreferences:
        return openPreferences();
    case MenuAction::ignoreCurrentApp:
        return ignoreCurrentApp();
    case MenuAction::openIgnoredApps:
        return openIgnoredApps();
    case MenuAction::openFeedback:
        return openFeedback();
    case MenuAction::showAbout:
        return showAbout();
    case MenuAction::quitApp:
        return quitApp();
    }
}

void AppDelegate::editUserName() {
    m_deps.ui.editUserName(m_deps.prefs.userName().value_or(QString()),
                           whileAlive(this, [this](const std::optional<QString>& text) {
                               if (text)
                                   m_deps.prefs.setUserName(*text);
                           }));
}

void AppDelegate::requestAccessibility() {
    m_deps.accessSwitch.requestAccess();
    m_deps.workspace.openAccessibilitySettings();
}

void AppDelegate::selectTargetLanguage(const QString& code) {
    if (const auto language = TargetLanguage::named(code))
        m_deps.prefs.setTargetLanguage(*language);
}

QCoro::Task<> AppDelegate::ensureAccessibilityOn() {
    if (m_deps.accessSwitch.isAccessEnabled())
        co_return;
    const WorkOwner alive(this);
    const bool enabled = co_await m_deps.accessSwitch.enableAccess();
    if (!alive || !enabled || m_toldAboutRestart)
        co_return;
    // Applications read the switch when they start: those already running may stay unseen.
    m_toldAboutRestart = true;
    m_deps.ui.showNotice(L10n::string(QStringLiteral("accessibility.restartNotice")));
}

void AppDelegate::showTranslationBox() {
    ensureAccessibilityOn();
    if (m_selectionMonitor)
        m_selectionMonitor->triggerManualCapture();
}

void AppDelegate::openAISettings() {
    later(Duration{0}, [](AppDelegate& self) { self.m_deps.ui.showAISettings(); });
}

void AppDelegate::openPreferences() {
    later(Duration{0}, [](AppDelegate& self) {
        AppDelegate* delegate = &self;
        self.m_deps.ui.showPreferences(
            whileAlive(delegate, [delegate] { delegate->openAISettings(); }),
            whileAlive(delegate, [delegate] { delegate->openIgnoredApps(); }),
            whileAlive(delegate, [delegate] {
                delegate->later(Duration{0}, [](AppDelegate& self) { self.reregisterHotKey(); });
            }));
    });
}

void AppDelegate::ignoreCurrentApp() {
    if (!m_lastExternalApp)
        return;
    m_deps.prefs.ignore(m_lastExternalApp->appId, m_lastExternalApp->name);
    later(Duration{0}, [](AppDelegate& self) {
        if (self.m_panelController)
            self.m_panelController->hide();
    });
}

void AppDelegate::openIgnoredApps() {
    later(Duration{0}, [](AppDelegate& self) { self.m_deps.ui.showIgnoredApps(); });
}

void AppDelegate::openFeedback() {
    later(Duration{0}, [](AppDelegate& self) { self.m_deps.ui.showFeedback(); });
}

void AppDelegate::showAbout() {
    m_deps.ui.showAbout(ShellTexts::aboutMessage(m_deps.version));
}

void AppDelegate::quitApp() {
    m_deps.ui.quit();
}

} // namespace ovra
