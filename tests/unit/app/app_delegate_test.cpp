#include "app/app_delegate.h"
#include "capture/selection_monitor.h"
#include "fakes/fake_app_ui.h"
#include "fakes/fake_capture_platform.h"
#include "fakes/fake_hotkey_service.h"
#include "fakes/fake_panel.h"
#include "fakes/inline_accessibility_thread.h"
#include "panel/panel_controller.h"
#include "panel/quick_action_flow.h"
#include "settings/key_store.h"
#include "settings/l10n.h"
#include "settings/prefs.h"
#include "support/virtual_clock.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <string_view>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;

namespace {

const QString ownID = QStringLiteral("app.ovra.Ovra");

// One installation (temporary settings and keys) on a scripted desktop; each delegate made here
// is one launch of the program.
class DelegateTest : public ::testing::Test {
protected:
    static constexpr qint32 editorPid = 42;

    DelegateTest() {
        editor = fake.workspace.launch(
            {editorPid, QStringLiteral("org.example.Editor"), QStringLiteral("Editor")});
        own = fake.workspace.launch({7, ownID, QStringLiteral("Ovra")});
        fake.workspace.frontmost = editor;
    }

    std::unique_ptr<AppDelegate> makeDelegate() {
        AppDelegate::Dependencies deps{
            prefs,
            keys,
            clock,
            fake.workspace,
            fake.accessibility,
            hotKeys,
            ui,
            [this] { return makePanel(); },
            [this] {
                return std::make_unique<SelectionMonitor>(
                    fake.platform, capture, clock, clipboardLease,
                    CaptureFilter{ownID,
                                  [this](const QString& id) { return prefs.isIgnored(id); }});
            },
            ownID,
            QStringLiteral("1.2.3"),
            [this] { ++sessionStartsEnabled; },
            [this](QuickAction action) { return &actionKeys[action]; },
            [this] {
                return std::make_unique<QuickActionFlow>(QuickActionFlow::Dependencies{
                    engines, replacer, prefs, keys, clock, fake.screens,
                    [](QuickActionFlow&) { return std::make_unique<FakePanelWindow>(); }});
            },
        };
        return std::make_unique<AppDelegate>(std::move(deps));
    }

    std::unique_ptr<PanelController> makePanel() {
        PanelController::Dependencies deps{
            [this] {
                return std::make_unique<PanelViewModel>(engines, replacer, fake.clipboard, prefs,
                                                        keys, clock);
            },
            [this](PanelViewModel&) {
                auto window = std::make_unique<FakePanelWindow>();
                panelWindow = window.get();
                return window;
            },
            [](qint32) { return QList<QRectF>(); },
            fake.screens,
            clock,
        };
        return std::make_unique<PanelController>(std::move(deps));
    }

    std::unique_ptr<AppDelegate> launch() {
        auto delegate = makeDelegate();
        delegate->start();
        return delegate;
    }

    void selectInEditor(const QString& text) {
        auto field = fake.accessibility.application(editorPid)->addChild(QStringLiteral("text"));
        field->selectedText = text;
        field->role = ElementRole::TextArea;
        fake.accessibility.application(editorPid)->focused = field;
    }

    QTemporaryDir dir;
    DefaultsStore defaults{dir.filePath(QStringLiteral("defaults.json"))};
    Prefs prefs{defaults, [] { return std::optional<QString>(); }};
    KeyStore keys{dir.filePath(QStringLiteral("keys.json")), prefs, QString()};
    VirtualClock clock;
    FakeCapturePlatform fake;
    InlineAccessibilityThread thread{fake.accessibility, clock};
    AccessibilityCapture capture{thread, fake.workspace, fake.screens, clock};
    ClipboardLease clipboardLease{clock};
    FakeHotKeyService hotKeys;
    std::map<QuickAction, FakeHotKeyService> actionKeys;
    FakeAppUI ui;
    std::shared_ptr<FakePanelEngines> engines = std::make_shared<FakePanelEngines>();
    FakeTextReplacing replacer;
    FakePanelWindow* panelWindow = nullptr;
    RunningApplication editor;
    RunningApplication own;
    int sessionStartsEnabled = 0;
};

TEST_F(DelegateTest, CaptureIsWiredOnlyInTheStepAfterLaunch) {
    selectInEditor(QStringLiteral("early"));
    auto delegate = launch();
    EXPECT_EQ(ui.shown.value(0), QStringLiteral("trayIcon"));
    EXPECT_EQ(delegate->panelController(), nullptr);
    EXPECT_EQ(delegate->selectionMonitor(), nullptr);
    EXPECT_EQ(delegate->globalHotKey(), nullptr);
    EXPECT_FALSE(hotKeys.held);

    // The menu's command before the monitor exists does nothing at all.
    delegate->showTranslationBox();
    EXPECT_EQ(delegate->panelController(), nullptr);

    clock.runDue();
    ASSERT_NE(delegate->selectionMonitor(), nullptr);
    ASSERT_NE(delegate->panelController(), nullptr);
    EXPECT_TRUE(delegate->selectionMonitor()->isRunning());
    EXPECT_EQ(hotKeys.held, (FakeHotKeyService::Combination{17, 2304}));
    EXPECT_EQ(panelWindow, nullptr); // the early command left nothing behind
}

// Each way of asking for the box runs the manual capture, which shows the panel for the selection:
// the shortcut, the menu's row (the shortcut refused), the capture action given with the start.
TEST_F(DelegateTest, TheShortcutTheMenuAndTheCaptureActionShowThePanelForTheSelection) {
    prefs.setDidShowWelcome(true);
    selectInEditor(QStringLiteral("asked for"));
    for (const std::string_view way : {"shortcut", "menu", "action"}) {
        SCOPED_TRACE(way);
        hotKeys.refuseNext = way == "menu";
        auto delegate = launch();
        if (way == "action") {
            EXPECT_TRUE(delegate->activateAction(QStringLiteral("capture")));
        }
        clock.runDue();
        EXPECT_EQ(hotKeys.held.has_value(), way != "menu");
        if (way == "shortcut") {
            EXPECT_TRUE(hotKeys.press());
        } else if (way == "menu") {
            delegate->perform(delegate->menuRows().value(6));
        }
        clock.advance(10ms);
        ASSERT_NE(panelWindow, nullptr);
        EXPECT_TRUE(panelWindow->visible);
        EXPECT_EQ(delegate->panelController()->currentSnapshot()->text,
                  QStringLiteral("asked for"));
        delegate->shutDown();
        panelWindow = nullptr;
    }
}

TEST_F(DelegateTest, LaterLaunchesAndTheShortcutTurnTheSwitchBackOnAndSayOnceToRestartApps) {
    prefs.setDidShowWelcome(true);
    fake.accessibility.trusted = false;
    auto delegate = launch();
    EXPECT_EQ(fake.accessibility.enableRequests, 1);
    EXPECT_TRUE(fake.accessibility.isAccessEnabled());
    ASSERT_EQ(ui.notices.size(), 1);
    EXPECT_EQ(ui.notices[0], L10n::string(QStringLiteral("accessibility.restartNotice")));
    EXPECT_NE(ui.notices[0], QStringLiteral("accessibility.restartNotice"));
    clock.runDue();

    // Switched off again: the shortcut turns it on, without a second notice.
    fake.accessibility.trusted = false;
    delegate->showTranslationBox();
    EXPECT_EQ(fake.accessibility.enableRequests, 2);
    EXPECT_EQ(ui.notices.size(), 1);
    clock.advance(400ms); // nothing selected, nothing copied

    // A switch that stays off still leaves the copy of the selection.
    fake.accessibility.trusted = false;
    fake.accessibility.enableTakes = false;
    fake.keys.onCopy = [this](qint32) {
        fake.clipboard.copyByOtherApplication(QStringLiteral("copiado sem acessibilidade"));
    };
    ASSERT_TRUE(hotKeys.press());
    clock.advance(400ms);
    ASSERT_NE(panelWindow, nullptr);
    EXPECT_TRUE(panelWindow->visible);
    EXPECT_EQ(delegate->panelController()->currentSnapshot()->text,
              QStringLiteral("copiado sem acessibilidade"));
    EXPECT_EQ(ui.notices.size(), 1);
    EXPECT_FALSE(ui.shown.contains(QStringLiteral("welcome")));
}

TEST_F(DelegateTest, HidingThePanelSuppressesItsSelectionAndIgnoringTheAppStoresItAndHidesIt) {
    selectInEditor(QStringLiteral("close me"));
    auto delegate = launch();
    clock.runDue();
    delegate->showTranslationBox();
    clock.advance(10ms);
    const auto snapshot = delegate->panelController()->currentSnapshot();
    ASSERT_TRUE(snapshot);

    delegate->panelController()->hide();
    EXPECT_FALSE(panelWindow->visible);
    EXPECT_EQ(delegate->selectionMonitor()->suppressedSignature(),
              SelectionMonitor::signature(*snapshot));

    delegate->showTranslationBox(); // the shortcut brings it back
    clock.advance(10ms);
    ASSERT_TRUE(panelWindow->visible);
    delegate->ignoreCurrentApp();
    EXPECT_TRUE(prefs.isIgnored(QStringLiteral("org.example.Editor")));
    clock.runDue();
    EXPECT_FALSE(panelWindow->visible);
    EXPECT_FALSE(delegate->menuRows().value(12).enabled); // shown, but disabled now
}

TEST_F(DelegateTest, AChangedShortcutIsRegisteredAgainAndTerminationReleasesIt) {
    auto delegate = launch();
    clock.runDue();
    delegate->openPreferences();
    clock.runDue();
    prefs.setHotKey(40, 0x1300); // what the preferences window stores before it tells
    ui.onHotKeyChanged();
    clock.runDue();
    EXPECT_EQ(hotKeys.unregisterCount, 1);
    EXPECT_EQ(hotKeys.held, (FakeHotKeyService::Combination{40, 0x1300}));

    delegate->shutDown();
    EXPECT_FALSE(hotKeys.held);
    EXPECT_EQ(delegate->globalHotKey(), nullptr);
    EXPECT_FALSE(delegate->selectionMonitor()->isRunning());
    EXPECT_EQ(fake.workspace.observerCount(), 0u);

    // After the end a change registers nothing, and a second termination is harmless.
    ui.onHotKeyChanged();
    clock.runDue();
    delegate->shutDown();
    EXPECT_FALSE(hotKeys.held);
}

TEST_F(DelegateTest, FirstLaunchWithoutPermissionWelcomesAfter400msAndNeverWarns) {
    fake.accessibility.trusted = false;
    prefs.setUserName(QStringLiteral("Bia"));
    auto delegate = launch();
    EXPECT_TRUE(prefs.didShowWelcome());
    clock.advance(399ms);
    EXPECT_FALSE(ui.shown.contains(QStringLiteral("welcome")));
    clock.advance(1ms);
    EXPECT_TRUE(ui.shown.contains(QStringLiteral("welcome")));
    clock.advance(2s);
    EXPECT_FALSE(ui.shown.contains(QStringLiteral("noKeyWarning")));

    // A name of spaces is not stored, and the permission is asked for only when chosen.
    ui.welcomeDone({QStringLiteral("   "), false});
    EXPECT_EQ(prefs.userName(), QStringLiteral("Bia"));
    EXPECT_EQ(fake.accessibility.trustRequests, 0);
    ui.welcomeDone({QStringLiteral("  Ana \n"), true});
    EXPECT_EQ(prefs.userName(), QStringLiteral("Ana"));
    EXPECT_EQ(fake.accessibility.trustRequests, 1);
    EXPECT_EQ(fake.workspace.settingsOpened, 1);
}

TEST_F(DelegateTest, TheNoKeyWarningComesOnLaterLaunchesOnlyWhenTheProviderHasNoKey) {
    // First launch with the permission: no welcome, but the flag is stored.
    launch();
    clock.advance(2s);
    EXPECT_EQ(ui.shown, QStringList{QStringLiteral("trayIcon")});
    EXPECT_TRUE(prefs.didShowWelcome());

    ui.shown.clear();
    auto second = launch();
    clock.advance(599ms);
    EXPECT_FALSE(ui.shown.contains(QStringLiteral("noKeyWarning")));
    clock.advance(1ms);
    ASSERT_TRUE(ui.shown.contains(QStringLiteral("noKeyWarning")));
    ui.onConfigureNow();
    EXPECT_FALSE(ui.shown.contains(QStringLiteral("aiSettings"))); // a step of its own
    clock.runDue();
    EXPECT_TRUE(ui.shown.contains(QStringLiteral("aiSettings")));

    ui.shown.clear();
    keys.writeKey(QStringLiteral("sk-1"), KeyStore::aiAccount(prefs.aiProvider()));
    launch();
    clock.advance(2s);
    EXPECT_FALSE(ui.shown.contains(QStringLiteral("noKeyWarning")));

    ui.shown.clear();
    prefs.setAIProvider(AIProvider::anthropic); // this one has no key
    prefs.setSuppressNoKeyWarning(true);
    launch();
    clock.advance(2s);
    EXPECT_FALSE(ui.shown.contains(QStringLiteral("noKeyWarning")));
    // Only the first launch made the session start the program.
    EXPECT_EQ(sessionStartsEnabled, 1);
}

TEST_F(DelegateTest, RemembersTheLastExternalApplicationOnly) {
    fake.workspace.frontmost = own;
    auto delegate = launch();
    EXPECT_FALSE(delegate->lastExternalApp());
    fake.workspace.activate(own);
    EXPECT_FALSE(delegate->lastExternalApp());

    fake.workspace.activate(editor);
    EXPECT_EQ(delegate->lastExternalApp(),
              (ExternalApp{QStringLiteral("org.example.Editor"), QStringLiteral("Editor")}));
    fake.workspace.activate(own);
    fake.workspace.activate({99, QString(), QStringLiteral("No id")});
    EXPECT_EQ(delegate->lastExternalApp()->appId, QStringLiteral("org.example.Editor"));

    fake.workspace.activate({100, QStringLiteral("org.example.Term"), QString()});
    EXPECT_EQ(delegate->lastExternalApp()->name, QStringLiteral("org.example.Term"));
}

TEST_F(DelegateTest, MenuCommandsChangeSettingsAndOpenWindowsAsTheirOwnSteps) {
    auto delegate = launch();
    clock.runDue();

    delegate->selectTargetLanguage(QStringLiteral("xx-unknown"));
    EXPECT_EQ(prefs.targetLanguage().code, TargetLanguage::portuguese().code);
    delegate->selectTargetLanguage(QStringLiteral("ja"));
    EXPECT_EQ(prefs.targetLanguage().code, QStringLiteral("ja"));

    prefs.setUserName(QStringLiteral("Ana"));
    delegate->editUserName();
    EXPECT_EQ(ui.editNameCurrent, QStringLiteral("Ana"));
    ui.editNameDone(std::nullopt); // Cancelar
    EXPECT_EQ(prefs.userName(), QStringLiteral("Ana"));
    delegate->editUserName();
    ui.editNameDone(QStringLiteral("  "));
    EXPECT_FALSE(prefs.userName());

    ui.shown.clear();
    delegate->openPreferences();
    delegate->openIgnoredApps();
    delegate->openFeedback();
    EXPECT_TRUE(ui.shown.isEmpty());
    clock.runDue();
    EXPECT_EQ(ui.shown, (QStringList{QStringLiteral("preferences"), QStringLiteral("ignoredApps"),
                                     QStringLiteral("feedback")}));
    ui.onOpenEngines();
    ui.onOpenIgnored();
    clock.runDue();
    EXPECT_EQ(ui.shown.mid(3),
              (QStringList{QStringLiteral("aiSettings"), QStringLiteral("ignoredApps")}));

    delegate->perform(delegate->menuRows().constLast());
    EXPECT_EQ(ui.shown.constLast(), QStringLiteral("quit"));
}

TEST_F(DelegateTest, DelayedStepsOfAGoneDelegateDoNothing) {
    fake.accessibility.trusted = false;
    {
        auto delegate = launch();
        delegate->openPreferences();
    }
    clock.advance(2s);
    EXPECT_EQ(ui.shown, QStringList{QStringLiteral("trayIcon")});
    EXPECT_FALSE(hotKeys.held);
    EXPECT_EQ(fake.workspace.observerCount(), 0u);
}

} // namespace

TEST_F(DelegateTest, ActionsFromOutsideRunTheMenuCommands) {
    prefs.setDidShowWelcome(true);
    auto delegate = launch();
    clock.runDue();
    ui.shown.clear();
    for (const QString& action : {QStringLiteral(""), QStringLiteral("preferences"),
                                  QStringLiteral("engines"), QStringLiteral("quit")})
        EXPECT_TRUE(delegate->activateAction(action)) << action.toStdString();
    EXPECT_FALSE(delegate->activateAction(QStringLiteral("reboot")));
    clock.runDue();
    EXPECT_EQ(ui.shown, (QStringList{QStringLiteral("quit"), QStringLiteral("preferences"),
                                     QStringLiteral("preferences"), QStringLiteral("aiSettings")}));
}

// Only an action whose shortcut is set holds one; its press, or its name from outside, runs it on
// the selection: a replacing action writes the result back, the others open the panel working.
TEST_F(DelegateTest, EachActionRunsByItsOwnShortcutOrName) {
    prefs.setDidShowWelcome(true);
    prefs.setActionHotKey(QuickAction::translateReplace, 15, 0x900);
    prefs.setActionHotKey(QuickAction::reviewReplace, 8, 0x1000); // Ctrl+C: never held
    selectInEditor(QStringLiteral("olá"));
    fake.accessibility.application(editorPid)->focused->selectedTextSettable = true;
    auto delegate = launch();
    clock.runDue();
    for (const QuickAction action : quickActions)
        EXPECT_EQ(actionKeys[action].held.has_value(), action == QuickAction::translateReplace)
            << QuickActions::name(action).toStdString();
    EXPECT_EQ(actionKeys[QuickAction::translateReplace].held,
              (FakeHotKeyService::Combination{15, 0x900}));

    ASSERT_TRUE(actionKeys[QuickAction::translateReplace].press());
    clock.advance(10ms);
    ASSERT_EQ(engines->calls.size(), 1);
    EXPECT_EQ(engines->last()->operation, QStringLiteral("translate"));
    engines->last()->succeed(QStringLiteral("hello"));
    ASSERT_EQ(replacer.calls.size(), 1);
    EXPECT_EQ(replacer.calls[0]->text, QStringLiteral("hello"));
    EXPECT_EQ(panelWindow, nullptr) << "the panel opened for a replacing action";

    EXPECT_TRUE(delegate->activateAction(QStringLiteral("summarize")));
    clock.advance(10ms);
    ASSERT_NE(panelWindow, nullptr);
    EXPECT_TRUE(panelWindow->visible);
    EXPECT_EQ(engines->last()->operation, QStringLiteral("summarize"));

    delegate->openPreferences();
    clock.runDue();
    prefs.clearActionHotKey(QuickAction::translateReplace);
    ui.onHotKeyChanged();
    clock.runDue();
    EXPECT_FALSE(actionKeys[QuickAction::translateReplace].held);
}

TEST_F(DelegateTest, WithoutATrayPreferencesOpenOnceForGood) {
    prefs.setDidShowWelcome(true);
    auto delegate = launch();
    delegate->trayIconUnavailable();
    delegate->trayIconUnavailable();
    clock.runDue();
    EXPECT_EQ(ui.shown.count(QStringLiteral("preferences")), 1);
    delegate.reset();

    ui.shown.clear();
    launch()->trayIconUnavailable();
    clock.runDue();
    EXPECT_EQ(ui.shown.count(QStringLiteral("preferences")), 0);
}
