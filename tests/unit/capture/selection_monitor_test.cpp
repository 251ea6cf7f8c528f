#include "capture_fixture.h"

#include "capture/selection_monitor.h"

#include <memory>

using namespace ovra;
using namespace ovra::test;
using namespace std::chrono_literals;

namespace {

class MonitorTest : public CaptureFixture {
protected:
    MonitorTest() {
        monitor->setOnSnapshot([this](const SelectionSnapshot& s) {
            shown.push_back(s);
            shownAt.push_back(clock.now());
        });
        monitor->setOnDismiss([this] { ++dismissals; });
        monitor->start();
    }

    // The editor's focused text field with `text` selected.
    std::shared_ptr<FakeNode> selectInEditor(const QString& text) {
        auto field = editorTextWith(text);
        fake.accessibility.application(editorPid)->focused = field;
        return field;
    }

    void mouseUpAt(QPointF where) {
        fake.screens.pointer = where;
        fake.input.injectGlobal(Events::mouseUp());
    }

    std::unique_ptr<SelectionMonitor> monitor = std::make_unique<SelectionMonitor>(
        fake.platform, accessibilityCapture, clock, clipboardLease, filter());
    std::vector<SelectionSnapshot> shown;
    std::vector<Duration> shownAt;
    int dismissals = 0;
};

} // namespace

TEST_F(MonitorTest, StartInstallsOnceAndStopRemovesEverything) {
    EXPECT_TRUE(monitor->isRunning());
    EXPECT_EQ(fake.input.installedCount(), 6u);
    EXPECT_EQ(fake.workspace.observerCount(), 1u);
    monitor->start();
    EXPECT_EQ(fake.input.installedCount(), 6u);

    selectInEditor(QStringLiteral("hello"));
    mouseUpAt({1, 1});
    monitor->stop();
    EXPECT_FALSE(monitor->isRunning());
    EXPECT_EQ(fake.input.installedCount(), 0u);
    EXPECT_EQ(fake.workspace.observerCount(), 0u);
    clock.advance(1s);
    EXPECT_TRUE(shown.empty()); // the pending capture went with it
}

TEST_F(MonitorTest, ARefusedMonitorIsLeftOutAndTheOthersWork) {
    monitor->stop();
    fake.input.refuseNextInstalls = 1; // the mouse-up monitor
    monitor->start();
    EXPECT_EQ(fake.input.installedCount(), 5u);
    fake.input.injectGlobal(Events::keyDown(KeyCode::Escape));
    EXPECT_EQ(dismissals, 1);
}

TEST_F(MonitorTest, ADoubleClickYieldsOneCapture120msAfterTheSecondMouseUpAtItsPosition) {
    selectInEditor(QStringLiteral("double clicked"));
    mouseUpAt({10, 20});
    clock.advance(80ms);
    mouseUpAt({11, 21});
    clock.advance(119ms);
    EXPECT_TRUE(shown.empty());
    clock.advance(1ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shownAt[0], 200ms);
    EXPECT_EQ(shown[0].mouseAtCapture, QPointF(11, 21));
    EXPECT_EQ(shown[0].text, QStringLiteral("double clicked"));
    clock.advance(1s);
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(MonitorTest, RepeatedShiftArrowsScheduleOneCaptureAfterTheLastKeyUp) {
    selectInEditor(QStringLiteral("growing"));
    for (int i = 0; i < 5; ++i) {
        fake.input.injectGlobal(Events::keyUp(124, Modifier::Shift));
        clock.advance(50ms);
    }
    clock.advance(69ms);
    EXPECT_TRUE(shown.empty());
    clock.advance(1ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shownAt[0], 200ms + 120ms);
}

TEST_F(MonitorTest, SelectAllSchedulesCopyingDoesNot) {
    selectInEditor(QStringLiteral("everything"));
    struct Case {
        InputEvent event;
        bool schedules;
    };
    const Case cases[] = {
        {Events::keyUp(KeyCode::C, Modifier::Super, QStringLiteral("c")), false},
        {Events::keyUp(KeyCode::C, Modifier::Control, QStringLiteral("c")), false},
        {Events::keyUp(KeyCode::A, Modifier::Alt, QStringLiteral("a")), false},
        {Events::keyUp(KeyCode::A, {}, QStringLiteral("a")), false},
        {Events::keyUp(KeyCode::A, Modifier::Super, QStringLiteral("a")), true},
        {Events::keyUp(KeyCode::A, Modifier::Control, QStringLiteral("A")), true},
        {Events::keyUp(KeyCode::A, Modifier::Shift | Modifier::Super, QStringLiteral("A")), true},
        {Events::keyUp(KeyCode::T, Modifier::Shift, QStringLiteral("T")), true},
        {Events::keyDown(KeyCode::A, Modifier::Control, QStringLiteral("a")), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event.charactersIgnoringModifiers.toStdString() + " " +
                     std::to_string(c.event.modifiers.toInt()));
        fake.input.injectGlobal(c.event);
        EXPECT_EQ(monitor->hasPendingCapture(), c.schedules);
        clock.advance(1s);
    }
    EXPECT_EQ(shown.size(), 4u);
}

// Each chord as the platform reports it, key by key; whether its end shows the selection.
TEST_F(MonitorTest, AChordThatSelectedCountsInEitherReleaseOrderABareModifierDoesNot) {
    selectInEditor(QStringLiteral("chosen"));
    const Modifiers shift = Modifier::Shift;
    const Modifiers ctrl = Modifier::Control;
    const Modifiers altShift = Modifier::Alt | Modifier::Shift;
    const QString a = QStringLiteral("a");
    struct Case {
        const char* name;
        std::vector<InputEvent> keys;
        bool shows;
    };
    const Case cases[] = {
        {"shift+right, right first",
         {Events::modifierDown(), Events::keyDown(124, shift), Events::keyUp(124, shift),
          Events::modifierUp(shift)},
         true},
        {"shift+right, shift first",
         {Events::modifierDown(), Events::keyDown(124, shift), Events::modifierUp(shift),
          Events::keyUp(124)},
         true},
        {"ctrl+a, a first",
         {Events::modifierDown(), Events::keyDown(KeyCode::A, ctrl, a),
          Events::keyUp(KeyCode::A, ctrl, a), Events::modifierUp(ctrl)},
         true},
        {"ctrl+a, ctrl first",
         {Events::modifierDown(), Events::keyDown(KeyCode::A, ctrl, a), Events::modifierUp(ctrl),
          Events::keyUp(KeyCode::A, {}, a)},
         true},
        {"super+a, super first",
         {Events::modifierDown(), Events::keyDown(KeyCode::A, Modifier::Super, a),
          Events::modifierUp(Modifier::Super), Events::keyUp(KeyCode::A, {}, a)},
         true},
        {"shift alone", {Events::modifierDown(), Events::modifierUp(shift)}, false},
        {"alt+shift layout switch",
         {Events::modifierDown(), Events::modifierDown(Modifier::Alt), Events::modifierUp(altShift),
          Events::modifierUp(Modifier::Alt)},
         false},
        {"ctrl+c, ctrl first",
         {Events::modifierDown(), Events::keyDown(KeyCode::C, ctrl, QStringLiteral("c")),
          Events::modifierUp(ctrl), Events::keyUp(KeyCode::C, {}, QStringLiteral("c"))},
         false},
        {"a typed after a select-all",
         {Events::keyDown(KeyCode::A, {}, a), Events::keyUp(KeyCode::A, {}, a)},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = shown.size();
        for (const InputEvent& key : c.keys) {
            fake.input.injectGlobal(key);
            clock.advance(30ms); // keys of one chord come up well within the capture delay
        }
        clock.advance(1s);
        EXPECT_EQ(shown.size() - before, c.shows ? 1u : 0u);
    }
}

TEST_F(MonitorTest, EscapeAnywhereAndMouseDownDismissAtOnce) {
    selectInEditor(QStringLiteral("hello"));
    mouseUpAt({1, 1});
    fake.input.injectGlobal(Events::mouseDown());
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(monitor->hasPendingCapture());
    clock.advance(1s);
    EXPECT_TRUE(shown.empty());

    fake.input.injectGlobal(Events::keyDown(KeyCode::Escape));
    fake.input.injectLocal(Events::keyDown(KeyCode::Escape));
    EXPECT_EQ(dismissals, 3);
    fake.input.injectLocal(Events::keyDown(KeyCode::T));
    fake.input.injectGlobal(Events::keyUp(KeyCode::Escape));
    EXPECT_EQ(dismissals, 3);
}

// Typing into the application while the panel is up ends it, and ends the selection a panel was
// closed on; shortcuts, modifiers and the keys of a selecting chord do neither.
TEST_F(MonitorTest, TypingIntoTheApplicationDismissesButShortcutsDoNot) {
    selectInEditor(QStringLiteral("hello"));
    mouseUpAt({1, 1});
    clock.advance(120ms);
    ASSERT_EQ(shown.size(), 1u);
    // As the application does: the panel, as it hides, remembers the selection it showed.
    monitor->setOnDismiss([&] {
        ++dismissals;
        monitor->setSuppressedSignature(SelectionMonitor::signature(shown[0]));
    });
    for (const InputEvent& kept :
         {Events::keyDown(KeyCode::C, Modifier::Control, QStringLiteral("c")),
          Events::keyDown(KeyCode::T, Modifier::Alt | Modifier::Super, QStringLiteral("t")),
          Events::keyDown(KeyCode::A, Modifier::Shift, QStringLiteral("a")), Events::modifierDown(),
          Events::modifierDown(Modifier::Shift)}) {
        fake.input.injectGlobal(kept);
    }
    EXPECT_EQ(dismissals, 0);
    fake.input.injectGlobal(Events::keyDown(KeyCode::T, {}, QStringLiteral("t")));
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(monitor->suppressedSignature());
    // Another tab of the same window: a paste would no longer go where the text was selected.
    fake.input.injectGlobal(Events::keyDown(KeyCode::Tab, Modifier::Control | Modifier::Shift));
    fake.input.injectGlobal(Events::keyDown(KeyCode::PageDown, Modifier::Control));
    EXPECT_EQ(dismissals, 3);
}

TEST_F(MonitorTest, TheClosedSelectionIsNotShownAgainButAChangedOneIs) {
    const auto field = selectInEditor(QStringLiteral("same text"));
    field->selectedRange = TextRange{3, 9};
    mouseUpAt({1, 1});
    clock.advance(120ms);
    ASSERT_EQ(shown.size(), 1u);
    monitor->setSuppressedSignature(SelectionMonitor::signature(shown[0])); // the panel hid

    mouseUpAt({2, 2});
    clock.advance(120ms);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(monitor->suppressedSignature()); // stays

    field->selectedText = QStringLiteral("same texT");
    mouseUpAt({2, 2});
    clock.advance(120ms);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_FALSE(monitor->suppressedSignature());

    // Closed again; a click takes the selection away and, before the click's retry has run,
    // the same text is selected anew: that is a new selection, and it is shown.
    monitor->setSuppressedSignature(SelectionMonitor::signature(shown[1]));
    const auto closed = field->selectedText;
    field->selectedText = QString();
    field->selectedRange = TextRange{3, 0};
    mouseUpAt({2, 2});
    clock.advance(120ms);
    field->selectedText = closed;
    field->selectedRange = TextRange{3, 9};
    mouseUpAt({2, 2});
    clock.advance(120ms);
    EXPECT_EQ(shown.size(), 3u);
}

TEST_F(MonitorTest, AnEmptyClickEndsTheSuppressionAtOnceThenRetriesAndDismisses) {
    monitor->setSuppressedSignature(QStringLiteral("42|0|5|1"));
    mouseUpAt({1, 1});
    clock.advance(120ms);
    EXPECT_EQ(dismissals, 0);
    EXPECT_TRUE(monitor->hasPendingCapture());
    EXPECT_FALSE(monitor->suppressedSignature()); // the closed selection is gone
    clock.advance(279ms);
    EXPECT_EQ(dismissals, 0);
    clock.advance(1ms);
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(monitor->suppressedSignature());
    EXPECT_FALSE(clock.hasPending());
}

TEST_F(MonitorTest, TheRetryFindsASelectionThatArrivedLate) {
    mouseUpAt({1, 1});
    clock.advance(120ms);
    selectInEditor(QStringLiteral("slow app"));
    clock.advance(280ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shownAt[0], 400ms);
}

// Where no input is seen (Wayland), the application's own reports are the gesture.
TEST_F(MonitorTest, SelectionReportsCaptureOnceSettledAndACollapsedOneDismissesWithoutRetry) {
    const auto field = selectInEditor(QStringLiteral("settled"));
    fake.input.injectGlobal(Events::selectionChanged(editorPid));
    clock.advance(300ms);
    fake.input.injectGlobal(Events::selectionChanged(editorPid)); // still extending it
    clock.advance(SelectionMonitor::settleDelay - 1ms);
    EXPECT_TRUE(shown.empty());
    clock.advance(1ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("settled"));
    EXPECT_FALSE(shown[0].mouseAtCapture); // no pointer stands in for the selection

    field->selectedRange = TextRange{2, 0};
    field->selectedText = QString();
    fake.input.injectGlobal(Events::selectionChanged(editorPid));
    clock.advance(SelectionMonitor::settleDelay);
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(clock.hasPending()); // no retry waits on a selection that is gone
}

// Where the desktop tells that the gesture has ended, the capture need not wait for the reports
// to settle; a report coming later still does.
TEST_F(MonitorTest, TheEndOfTheGestureShortensTheWaitAndALateReportStartsItAgain) {
    selectInEditor(QStringLiteral("settled early"));
    fake.input.injectGlobal(Events::selectionChanged(editorPid));
    clock.advance(50ms);
    fake.input.injectGlobal(Events::selectionSettled(editorPid));
    clock.advance(SelectionMonitor::captureDelay - 1ms);
    fake.input.injectGlobal(Events::selectionChanged(editorPid));
    clock.advance(SelectionMonitor::settleDelay - 1ms);
    EXPECT_TRUE(shown.empty());
    fake.input.injectGlobal(Events::selectionSettled(editorPid));
    clock.advance(SelectionMonitor::captureDelay);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shownAt[0], 50ms + SelectionMonitor::captureDelay - 1ms +
                              SelectionMonitor::settleDelay - 1ms + SelectionMonitor::captureDelay);
}

TEST_F(MonitorTest, AnApplicationSwitchDismissesAndEndsTheSuppression) {
    const auto field = selectInEditor(QStringLiteral("same text"));
    mouseUpAt({1, 1});
    clock.advance(120ms);
    ASSERT_EQ(shown.size(), 1u);
    monitor->setSuppressedSignature(SelectionMonitor::signature(shown[0]));
    mouseUpAt({1, 1});
    // Reported after the gesture made in the application it brought to the front.
    fake.workspace.activate(editor);
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(monitor->suppressedSignature());
    clock.advance(120ms);
    EXPECT_EQ(shown.size(), 2u);
}

// The switch itself not reported yet: the capture's answer, for the application or window left
// behind, shows nothing. One that ends where it began carries its window.
TEST_F(MonitorTest, ACaptureThatEndsWithAnotherApplicationInFrontShowsNothing) {
    selectInEditor(QStringLiteral("left behind"));
    fake.workspace.window = 1;
    mouseUpAt({1, 1});
    clock.advance(120ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].window, std::optional<WindowId>(1));

    for (const bool sameApplication : {true, false}) {
        SCOPED_TRACE(sameApplication);
        shown.clear();
        fake.workspace.frontmost = editor;
        fake.workspace.window = 1;
        thread.holding = true;
        mouseUpAt({2, 2});
        clock.advance(120ms);
        if (sameApplication)
            fake.workspace.window = 2;
        else
            fake.workspace.frontmost = fake.workspace.launch({99, QStringLiteral("org.other"), {}});
        thread.release();
        clock.advance(1ms);
        EXPECT_TRUE(shown.empty());
    }
}

TEST_F(MonitorTest, OwnAndIgnoredApplicationsAndMissingPermissionShowNothing) {
    auto own = fake.workspace.launch({7, QStringLiteral("io.ovra.Ovra"), QStringLiteral("Ovra")});
    auto ownField = fake.accessibility.application(own.pid)->addChild();
    ownField->selectedText = QStringLiteral("panel text");
    fake.accessibility.systemFocus = ownField;
    mouseUpAt({1, 1});
    clock.advance(120ms);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(dismissals, 1);

    fake.accessibility.systemFocus.reset();
    selectInEditor(QStringLiteral("private notes"));
    ignored.insert(editor.appId);
    mouseUpAt({1, 1});
    clock.advance(120ms);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(dismissals, 2);

    ignored.clear();
    fake.accessibility.trusted = false;
    mouseUpAt({1, 1});
    clock.advance(1s);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(dismissals, 3);
}

TEST_F(MonitorTest, ManualCaptureUsesTheBridgeFirstAndClearsTheSuppression) {
    selectInEditor(QStringLiteral("by shortcut"));
    monitor->setSuppressedSignature(QStringLiteral("anything"));
    fake.screens.pointer = {50, 60};
    monitor->triggerManualCapture();
    EXPECT_TRUE(shown.empty()); // runs as its own step
    clock.runDue();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].mouseAtCapture, QPointF(50, 60));
    EXPECT_FALSE(monitor->suppressedSignature());
    EXPECT_TRUE(fake.keys.copiesPosted.isEmpty());
}

// A second press while the first capture runs joins it: one copy, one panel, at the newer place.
TEST_F(MonitorTest, ManualCaptureFallsBackToCopyingAndRestoresTheClipboard) {
    fake.clipboard.setString(QStringLiteral("user's own"));
    fake.keys.onCopy = [this](qint32) {
        clock.schedule(30ms, [this] {
            fake.clipboard.copyByOtherApplication(QStringLiteral("terminal text"));
        });
    };
    monitor->triggerManualCapture();
    clock.advance(100ms);
    fake.screens.pointer = {70, 80};
    monitor->triggerManualCapture();
    clock.advance(400ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("terminal text"));
    EXPECT_EQ(shown[0].mouseAtCapture, QPointF(70, 80));
    EXPECT_EQ(dismissals, 0); // the second press found nothing of its own to dismiss with
    EXPECT_EQ(fake.keys.copiesPosted.size(), 1);
    EXPECT_EQ(fake.clipboard.string(), QStringLiteral("user's own"));
}

// Some editors copy the caret's line for Ctrl+C when nothing is selected: that line is no
// selection. Anything else the copy brings is one, as the caret's own line is at any place.
TEST_F(MonitorTest, ACopiedCaretLineIsNoSelectionButOtherCopiedTextIs) {
    const QString text = QStringLiteral("first line\nsecond line\nthird");
    const struct {
        qint64 caret;
        QString copied;
        bool shown;
    } cases[] = {{14, QStringLiteral("second line\n"), false},
                 {0, QStringLiteral("first line\r\n"), false},
                 {text.size(), QStringLiteral("third"), false},
                 {14, QStringLiteral("second"), true},
                 {14, QStringLiteral("first line\n"), true}};
    for (const auto& [caret, copied, expectShown] : cases) {
        SCOPED_TRACE(copied.toStdString());
        auto field = selectInEditor(QString());
        field->value = text;
        field->selectedRange = TextRange{caret, 0};
        fake.clipboard.setString(QStringLiteral("user's own"));
        fake.keys.onCopy = [this, copied](qint32) {
            clock.schedule(30ms, [this, copied] { fake.clipboard.copyByOtherApplication(copied); });
        };
        shown.clear();
        monitor->triggerManualCapture();
        clock.advance(400ms);
        EXPECT_EQ(shown.size(), expectShown ? 1u : 0u);
        EXPECT_EQ(fake.clipboard.string(), QStringLiteral("user's own"));
    }
}

TEST_F(MonitorTest, AnIgnoredFrontmostApplicationGetsNoKeystrokeAndNoPanel) {
    selectInEditor(QStringLiteral("private notes"));
    ignored.insert(editor.appId);
    monitor->triggerManualCapture();
    clock.advance(1s);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(fake.keys.copiesPosted.isEmpty());
    EXPECT_EQ(dismissals, 1);

    // With accessibility off the copy is the way in: the keystroke goes, nothing was copied, and
    // the copy's last wait ends in a dismissal.
    fake.accessibility.trusted = false;
    ignored.clear();
    monitor->triggerManualCapture();
    clock.advance(299ms);
    EXPECT_EQ(dismissals, 1);
    clock.advance(1ms);
    EXPECT_EQ(dismissals, 2);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(fake.keys.copiesPosted, QList<qint32>{editor.pid});
}

TEST_F(MonitorTest, DestroyingTheMonitorMidCopyRestoresTheClipboardAndCallsNothing) {
    fake.clipboard.setString(QStringLiteral("user's own"));
    monitor->triggerManualCapture();
    clock.advance(100ms);
    EXPECT_TRUE(fake.clipboard.items.isEmpty());
    monitor.reset();
    EXPECT_EQ(fake.clipboard.string(), QStringLiteral("user's own"));
    EXPECT_EQ(fake.input.installedCount(), 0u);
    clock.advance(1s);
    EXPECT_EQ(dismissals, 0);
    EXPECT_TRUE(shown.empty());
}

// One process showing windows of two classes: the active window's id names the selection, the
// same id the menu's "ignore" and the copy capture take, so ignoring it stops the captures.
TEST_F(MonitorTest, AProcessWithTwoWindowClassesIsCapturedAndIgnoredUnderTheActiveWindowsId) {
    fake.workspace.launch(
        {editorPid, QStringLiteral("libreoffice-writer"), QStringLiteral("Writer")});
    fake.workspace.frontmost =
        RunningApplication{editorPid, QStringLiteral("libreoffice-calc"), QStringLiteral("Calc")};
    selectInEditor(QStringLiteral("cells"));
    mouseUpAt({1, 1});
    clock.advance(1s);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].appId, QStringLiteral("libreoffice-calc"));
    EXPECT_EQ(shown[0].appName, QStringLiteral("Calc"));

    ignored.insert(fake.workspace.frontmostApplication()->appId);
    mouseUpAt({1, 1});
    clock.advance(1s);
    EXPECT_EQ(shown.size(), 1u);
}
