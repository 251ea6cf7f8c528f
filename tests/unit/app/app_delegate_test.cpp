#include "app/app_delegate.h"
#include "capture/selection_monitor.h"
#include "fakes/fake_app_ui.h"
#include "fakes/fake_hotkey_service.h"
#include "fakes/inline_accessibility_thread.h"
#include "panel/panel_controller.h"
#include "panel/quick_action_flow.h"
#include "settings/l10n.h"
#include "support/panel_environment.h"

#include <map>
#include <string_view>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const QString ownID = u"app.ovra.Ovra"_s;

// One installation (temporary settings and keys) on a scripted desktop; each delegate made here
// is one launch of the program.
class DelegateTest : public ::testing::Test, public PanelEnvironment {
protected:
    static constexpr qint32 editorPid = 42;

    DelegateTest() {
        editor = fake.workspace.launch({editorPid, u"org.example.Editor"_s, u"Editor"_s});
        own = fake.workspace.launch({7, ownID, u"Ovra"_s});
        fake.workspace.frontmost = editor;
    }

    // One launch of the program: a delegate, started.
    std::unique_ptr<AppDelegate> launch() {
        const auto panel = [this] {
            const auto model = [this] { return makeViewModel(); };
            const auto window = [this](PanelViewModel&) {
                auto made = std::make_unique<FakePanelWindow>();
                panelWindow = made.get();
                return made;
            };
            const auto noToolbars = [](qint32) { return QList<QRectF>(); };
            return std::make_unique<PanelController>(
                PanelController::Dependencies{model, window, noToolbars, fake.screens, clock});
        };
        const auto monitor = [this] {
            const CaptureFilter filter{ownID,
                                       [this](const QString& id) { return prefs.isIgnored(id); }};
            return std::make_unique<SelectionMonitor>(fake.platform, capture, clock, clipboardLease,
                                                      filter);
        };
        const auto flow = [this] {
            return std::make_unique<QuickActionFlow>(QuickActionFlow::Dependencies{
                engines, replacer, prefs, keys, clock, fake.screens,
                [](QuickActionFlow&) { return std::make_unique<FakePanelWindow>(); }});
        };
        auto delegate = std::make_unique<AppDelegate>(AppDelegate::Dependencies{
            prefs, keys, clock, fake.workspace, fake.accessibility, hotKeys, ui, panel, monitor,
            ownID, u"1.2.3"_s, [this] { ++sessionStartsEnabled; },
            [this](QuickAction action) { return &actionKeys[action]; }, flow});
        delegate->start();
        return delegate;
    }

    void selectInEditor(const QString& text) {
        auto field = fake.accessibility.application(editorPid)->addChild(u"text"_s);
        field->selectedText = text;
        field->role = ElementRole::TextArea;
        fake.accessibility.application(editorPid)->focused = field;
    }

    FakeCapturePlatform fake;
    InlineAccessibilityThread thread{fake.accessibility, clock};
    AccessibilityCapture capture{thread, fake.workspace, clock};
    ClipboardLease clipboardLease{clock};
    FakeHotKeyService hotKeys;
    std::map<QuickAction, FakeHotKeyService> actionKeys;
    FakeAppUI ui;
    FakePanelWindow* panelWindow = nullptr;
    RunningApplication editor;
    RunningApplication own;
    int sessionStartsEnabled = 0;
};

TEST_F(DelegateTest, CaptureIsWiredOnlyInTheStepAfterLaunch) {
    selectInEditor(u"early"_s);
    auto delegate = launch();
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
    EXPECT_EQ(hotKeys.held, Prefs::defaultHotKey);
    EXPECT_EQ(panelWindow, nullptr); // the early command left nothing behind
}

// Each way of asking for the box runs the manual capture, which shows the panel for the selection:
// the shortcut, the menu's row (the shortcut refused), the capture action given with the start.
TEST_F(DelegateTest, TheShortcutTheMenuAndTheCaptureActionShowThePanelForTheSelection) {
    prefs.setDidShowWelcome(true);
    selectInEditor(u"asked for"_s);
    for (const std::string_view way : {"shortcut", "menu", "action"}) {
        SCOPED_TRACE(way);
        hotKeys.refuseNext = way == "menu";
        auto delegate = launch();
        if (way == "action") {
            EXPECT_TRUE(delegate->activateAction(u"capture"_s));
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
        EXPECT_EQ(delegate->panelController()->currentSnapshot()->text, u"asked for"_s);
        delegate->shutDown();
        panelWindow = nullptr;
    }
}

TEST_F(DelegateTest, LaterLaunchesAndTheShortcutTurnTheSwitchBackOnAndSayOnceToRestartApps) {
    prefs.setDidShowWelcome(true);
    fake.accessibility.trusted = false;
    auto delegate = launch();
    EXPECT_EQ(fake.accessibility.enableRequests, 1);
    ASSERT_EQ(ui.notices.size(), 1);
    EXPECT_EQ(ui.notices[0], L10n::string(u"accessibility.restartNotice"_s));
    EXPECT_NE(ui.notices[0], u"accessibility.restartNotice"_s);
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
        fake.clipboard.copyByOtherApplication(u"copiado sem acessibilidade"_s);
    };
    ASSERT_TRUE(hotKeys.press());
    clock.advance(400ms);
    ASSERT_NE(panelWindow, nullptr);
    EXPECT_TRUE(panelWindow->visible);
    EXPECT_EQ(delegate->panelController()->currentSnapshot()->text,
              u"copiado sem acessibilidade"_s);
    EXPECT_EQ(ui.notices.size(), 1);
    EXPECT_FALSE(ui.shown.contains(u"welcome"_s));
}

TEST_F(DelegateTest, HidingThePanelSuppressesItsSelectionAndIgnoringTheAppStoresItAndHidesIt) {
    selectInEditor(u"close me"_s);
    auto delegate = launch();
    clock.runDue();
    delegate->showTranslationBox();
    clock.advance(10ms);
    const auto snapshot = delegate->panelController()->currentSnapshot();
    ASSERT_TRUE(snapshot);

    delegate->panelController()->hide();
    EXPECT_EQ(delegate->selectionMonitor()->suppressedSignature(),
              SelectionMonitor::signature(*snapshot));

    delegate->showTranslationBox(); // the shortcut brings it back
    clock.advance(10ms);
    ASSERT_TRUE(panelWindow->visible);
    delegate->ignoreCurrentApp();
    EXPECT_TRUE(prefs.isIgnored(u"org.example.Editor"_s));
    clock.runDue();
    EXPECT_FALSE(panelWindow->visible);
    EXPECT_FALSE(delegate->menuRows().value(12).enabled); // shown, but disabled now
}

TEST_F(DelegateTest, AChangedShortcutIsRegisteredAgainAndTerminationReleasesIt) {
    auto delegate = launch();
    clock.runDue();
    delegate->openPreferences();
    clock.runDue();
    // What the preferences window stores before it tells.
    prefs.setHotKey(
        QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_K));
    ui.onHotKeyChanged();
    clock.runDue();
    EXPECT_EQ(
        hotKeys.held,
        QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_K));

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

// What a launch shows, and when, by the state it starts in: the welcome on the first launch only
// (and never the warning then), the no-key warning on later ones while the provider has no key.
// The accessibility switch is known only once read.
TEST_F(DelegateTest, EachLaunchWelcomesOrWarnsByItsState) {
    const struct {
        bool trusted, welcomed, hasKey, suppressed;
        const char* shown; // at `at`, and not a millisecond before
        std::chrono::milliseconds at;
    } cases[] = {
        {false, false, false, false, "welcome", 400ms},
        {true, false, false, false, nullptr, 2s},
        {true, true, false, false, "noKeyWarning", 600ms},
        {true, true, true, false, nullptr, 2s},
        {true, true, false, true, nullptr, 2s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at.count());
        fake.accessibility.trusted = false;
        fake.accessibility.switchOnRead = c.trusted;
        prefs.setDidShowWelcome(c.welcomed);
        prefs.setSuppressNoKeyWarning(c.suppressed);
        keys.writeKey(c.hasKey ? u"sk-1"_s : QString(), KeyStore::aiAccount(prefs.aiProvider()));
        ui.shown.clear();
        auto delegate = launch();
        EXPECT_TRUE(prefs.didShowWelcome());
        clock.advance(c.at - 1ms);
        EXPECT_EQ(ui.shown, QStringList{u"trayIcon"_s});
        clock.advance(2s);
        EXPECT_EQ(ui.shown.mid(1),
                  c.shown ? QStringList{QString::fromLatin1(c.shown)} : QStringList());
    }
    // Only the two first launches made the session start the program.
    EXPECT_EQ(sessionStartsEnabled, 2);
}

TEST_F(DelegateTest, TheWelcomeStoresATrimmedNameAndTheWarningOpensTheEnginesAsItsOwnStep) {
    fake.accessibility.trusted = false;
    prefs.setUserName(u"Bia"_s);
    auto first = launch();
    clock.advance(400ms);
    // A name of spaces is not stored, and the permission is asked for only when chosen.
    ui.welcomeDone({u"   "_s, false});
    EXPECT_EQ(prefs.userName(), u"Bia"_s);
    EXPECT_EQ(fake.accessibility.trustRequests, 0);
    ui.welcomeDone({u"  Ana \n"_s, true});
    EXPECT_EQ(prefs.userName(), u"Ana"_s);
    EXPECT_EQ(fake.accessibility.trustRequests, 1);
    EXPECT_EQ(fake.workspace.settingsOpened, 1);

    first.reset();

    auto second = launch();
    clock.advance(600ms);
    ui.onConfigureNow();
    EXPECT_FALSE(ui.shown.contains(u"aiSettings"_s));
    clock.runDue();
    EXPECT_TRUE(ui.shown.contains(u"aiSettings"_s));
}

TEST_F(DelegateTest, RemembersTheLastExternalApplicationOnly) {
    fake.workspace.frontmost = own;
    auto delegate = launch();
    EXPECT_FALSE(delegate->lastExternalApp());
    fake.workspace.activate(own);
    EXPECT_FALSE(delegate->lastExternalApp());

    fake.workspace.activate(editor);
    EXPECT_EQ(delegate->lastExternalApp(), (ExternalApp{u"org.example.Editor"_s, u"Editor"_s}));
    fake.workspace.activate(own);
    fake.workspace.activate({99, QString(), u"No id"_s});
    EXPECT_EQ(delegate->lastExternalApp()->appId, u"org.example.Editor"_s);

    fake.workspace.activate({100, u"org.example.Term"_s, QString()});
    EXPECT_EQ(delegate->lastExternalApp()->name, u"org.example.Term"_s);
}

TEST_F(DelegateTest, MenuCommandsChangeSettingsAndOpenWindowsAsTheirOwnSteps) {
    auto delegate = launch();
    clock.runDue();

    // A known language, the name shown for editing and a cancelled edit are followed through the
    // tray menu and its windows in the shell widget tests.
    delegate->selectTargetLanguage(u"xx-unknown"_s);
    EXPECT_EQ(prefs.targetLanguage().code, TargetLanguage::portuguese().code);
    prefs.setUserName(u"Ana"_s);
    delegate->editUserName();
    ui.editNameDone(u"  "_s);
    EXPECT_FALSE(prefs.userName());

    ui.shown.clear();
    delegate->openPreferences();
    delegate->openIgnoredApps();
    delegate->openFeedback();
    EXPECT_TRUE(ui.shown.isEmpty());
    clock.runDue();
    EXPECT_EQ(ui.shown, (QStringList{u"preferences"_s, u"ignoredApps"_s, u"feedback"_s}));
    ui.onOpenEngines();
    ui.onOpenIgnored();
    clock.runDue();
    EXPECT_EQ(ui.shown.mid(3), (QStringList{u"aiSettings"_s, u"ignoredApps"_s}));

    // Actions from outside run the same commands.
    ui.shown.clear();
    for (const QString& action : {u""_s, u"preferences"_s, u"engines"_s, u"quit"_s})
        EXPECT_TRUE(delegate->activateAction(action)) << action.toStdString();
    EXPECT_FALSE(delegate->activateAction(u"reboot"_s));
    clock.runDue();
    EXPECT_EQ(ui.shown,
              (QStringList{u"quit"_s, u"preferences"_s, u"preferences"_s, u"aiSettings"_s}));
}

TEST_F(DelegateTest, DelayedStepsOfAGoneDelegateDoNothing) {
    fake.accessibility.trusted = false;
    {
        auto delegate = launch();
        delegate->openPreferences();
    }
    clock.advance(2s);
    EXPECT_EQ(ui.shown, QStringList{u"trayIcon"_s});
    EXPECT_FALSE(hotKeys.held);
    EXPECT_EQ(fake.workspace.observerCount(), 0u);
}

} // namespace

// Only an action whose shortcut is set holds one; its press, or its name from outside, runs it on
// the selection: a replacing action writes the result back, the others open the panel working.
TEST_F(DelegateTest, EachActionRunsByItsOwnShortcutOrName) {
    prefs.setDidShowWelcome(true);
    const QKeyCombination ctrlSuperR(Qt::ControlModifier | Qt::MetaModifier, Qt::Key_R);
    prefs.setActionHotKey(QuickAction::translateReplace, ctrlSuperR);
    prefs.setActionHotKey(QuickAction::reviewReplace,
                          QKeyCombination(Qt::ControlModifier, Qt::Key_C)); // never held
    selectInEditor(QStringLiteral("olá"));
    fake.accessibility.application(editorPid)->focused->selectedTextSettable = true;
    auto delegate = launch();
    clock.runDue();
    for (const QuickAction action : quickActions)
        EXPECT_EQ(actionKeys[action].held.has_value(), action == QuickAction::translateReplace)
            << QuickActions::name(action).toStdString();
    EXPECT_EQ(actionKeys[QuickAction::translateReplace].held, ctrlSuperR);

    ASSERT_TRUE(actionKeys[QuickAction::translateReplace].press());
    clock.advance(10ms);
    ASSERT_EQ(engines->calls.size(), 1);
    EXPECT_EQ(engines->last()->operation, u"translate"_s);
    engines->last()->succeed(u"hello"_s);
    ASSERT_EQ(replacer.calls.size(), 1);
    EXPECT_EQ(replacer.calls[0]->text, u"hello"_s);
    EXPECT_EQ(panelWindow, nullptr) << "the panel opened for a replacing action";

    EXPECT_TRUE(delegate->activateAction(u"summarize"_s));
    clock.advance(10ms);
    ASSERT_NE(panelWindow, nullptr);
    EXPECT_TRUE(panelWindow->visible);
    EXPECT_EQ(engines->last()->operation, u"summarize"_s);

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
    EXPECT_EQ(ui.shown.count(u"preferences"_s), 1);
    delegate.reset();

    ui.shown.clear();
    launch()->trayIconUnavailable();
    clock.runDue();
    EXPECT_EQ(ui.shown.count(u"preferences"_s), 0);
}
