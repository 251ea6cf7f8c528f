#include "capture_fixture.h"

#include "capture/selection_monitor.h"

#include <memory>

using namespace ovra;
using namespace ovra::test;
using namespace ovra::test::Events;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

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
        fake.input.injectGlobal(mouseUp());
    }
    // A mouse-up, and the capture delay after it.
    void mouseUpAndWait(QPointF where = {1, 1}) {
        mouseUpAt(where);
        clock.advance(SelectionMonitor::captureDelay);
    }

    OwnWrites ownWrites{clock};
    std::unique_ptr<SelectionMonitor> monitor = std::make_unique<SelectionMonitor>(
        fake.platform, accessibilityCapture, clock, clipboardLease, filter(), &ownWrites);
    std::vector<SelectionSnapshot> shown;
    std::vector<Duration> shownAt;
    int dismissals = 0;
};

} // namespace

TEST_F(MonitorTest, StartInstallsOnceStopRemovesEverythingAndARefusedMonitorIsLeftOut) {
    EXPECT_EQ(fake.input.installedCount(), 6u);
    monitor->start();
    EXPECT_EQ(fake.input.installedCount(), 6u);

    selectInEditor(u"hello"_s);
    mouseUpAt({1, 1});
    monitor->stop();
    EXPECT_EQ(fake.input.installedCount(), 0u);
    clock.advance(1s);
    EXPECT_TRUE(shown.empty()); // the pending capture went with it

    // A monitor the platform refuses is left out, and the others work.
    fake.input.refuseNextInstalls = 1; // the mouse-up monitor
    monitor->start();
    EXPECT_EQ(fake.input.installedCount(), 5u);
    fake.input.injectGlobal(keyDown(KeyCode::Escape));
    EXPECT_EQ(dismissals, 1);
}

// A double click, then a run of Shift+arrows: each one capture, 120 ms after its last event.
TEST_F(MonitorTest, OneCaptureAfterTheLastMouseUpOrKeyUpAndOnlyForKeysThatSelect) {
    selectInEditor(u"double clicked"_s);
    mouseUpAt({10, 20});
    clock.advance(80ms);
    mouseUpAt({11, 21});
    clock.advance(119ms);
    EXPECT_TRUE(shown.empty());
    clock.advance(1ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].mouseAtCapture, QPointF(11, 21));
    EXPECT_EQ(shown[0].text, u"double clicked"_s);

    for (int i = 0; i < 5; ++i) {
        fake.input.injectGlobal(keyUp(124, Modifier::Shift));
        clock.advance(50ms);
    }
    clock.advance(70ms);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shownAt, (std::vector<Duration>{200ms, 200ms + 200ms + 120ms}));

    // Each key sequence as the platform reports it, key by key; whether its end shows the
    // selection. A chord that selected counts in either release order; copying, typing and bare
    // modifiers do not.
    const Modifiers shift = Modifier::Shift;
    const Modifiers ctrl = Modifier::Control;
    const Modifiers super = Modifier::Super;
    const QString a = u"a"_s;
    const QString c = u"c"_s;
    // From the modifier's press to the last release, the key or the modifier let go first.
    const auto chord = [](int key, Modifiers held, const QString& typed, bool modifierFirst) {
        if (modifierFirst)
            return std::vector{modifierDown(), keyDown(key, held, typed), modifierUp(held),
                               keyUp(key, {}, typed)};
        return std::vector{modifierDown(), keyDown(key, held, typed), keyUp(key, held, typed),
                           modifierUp(held)};
    };
    const struct {
        const char* name;
        std::vector<InputEvent> keys;
        bool shows;
    } cases[] = {
        {"shift+right, right first", chord(124, shift, {}, false), true},
        {"shift+right, shift first", chord(124, shift, {}, true), true},
        {"ctrl+a, a first", chord(KeyCode::A, ctrl, a, false), true},
        {"ctrl+a, ctrl first", chord(KeyCode::A, ctrl, a, true), true},
        {"super+a, super first", chord(KeyCode::A, super, a, true), true},
        {"super+a up", {keyUp(KeyCode::A, super, a)}, true},
        {"ctrl+A up", {keyUp(KeyCode::A, ctrl, u"A"_s)}, true},
        {"shift+super+A up", {keyUp(KeyCode::A, shift | super, u"A"_s)}, true},
        {"shift+T up", {keyUp(KeyCode::T, shift, u"T"_s)}, true},
        {"shift alone", {modifierDown(), modifierUp(shift)}, false},
        {"alt+shift layout switch",
         {modifierDown(), modifierDown(Modifier::Alt), modifierUp(Modifier::Alt | shift),
          modifierUp(Modifier::Alt)},
         false},
        {"ctrl+c, ctrl first", chord(KeyCode::C, ctrl, c, true), false},
        {"super+c up", {keyUp(KeyCode::C, super, c)}, false},
        {"ctrl+c up", {keyUp(KeyCode::C, ctrl, c)}, false},
        {"alt+a up", {keyUp(KeyCode::A, Modifier::Alt, a)}, false},
        {"a typed after a select-all",
         {keyDown(KeyCode::A, {}, a), keyUp(KeyCode::A, {}, a)},
         false},
        {"ctrl+a down only", {keyDown(KeyCode::A, ctrl, a)}, false},
    };
    for (const auto& [name, keys, shows] : cases) {
        SCOPED_TRACE(name);
        const std::size_t before = shown.size();
        for (const InputEvent& key : keys) {
            fake.input.injectGlobal(key);
            clock.advance(30ms); // keys of one chord come up well within the capture delay
        }
        clock.advance(1s);
        EXPECT_EQ(shown.size() - before, shows ? 1u : 0u);
    }
}

TEST_F(MonitorTest, EscapeMouseDownAndTypingDismissButShortcutsDoNot) {
    selectInEditor(u"hello"_s);
    mouseUpAt({1, 1});
    fake.input.injectGlobal(mouseDown());
    EXPECT_EQ(dismissals, 1);
    clock.advance(1s);
    EXPECT_TRUE(shown.empty());

    fake.input.injectGlobal(keyDown(KeyCode::Escape));
    fake.input.injectLocal(keyDown(KeyCode::Escape));
    EXPECT_EQ(dismissals, 3);
    fake.input.injectLocal(keyDown(KeyCode::T));
    fake.input.injectGlobal(keyUp(KeyCode::Escape));
    EXPECT_EQ(dismissals, 3);

    // Typing into the application while the panel is up ends it, and ends the selection a panel
    // was closed on; shortcuts, modifiers and the keys of a selecting chord do neither.
    dismissals = 0;
    mouseUpAndWait();
    ASSERT_EQ(shown.size(), 1u);
    // As the application does: the panel, as it hides, remembers the selection it showed.
    monitor->setOnDismiss([&] {
        ++dismissals;
        monitor->setSuppressedSignature(SelectionMonitor::signature(shown[0]));
    });
    for (const InputEvent& kept : {keyDown(KeyCode::C, Modifier::Control, u"c"_s),
                                   keyDown(KeyCode::T, Modifier::Alt | Modifier::Super, u"t"_s),
                                   keyDown(KeyCode::A, Modifier::Shift, u"a"_s), modifierDown(),
                                   modifierDown(Modifier::Shift)})
        fake.input.injectGlobal(kept);
    EXPECT_EQ(dismissals, 0);
    fake.input.injectGlobal(keyDown(KeyCode::T, {}, u"t"_s));
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(monitor->suppressedSignature());
    // Another tab of the same window: a paste would no longer go where the text was selected.
    fake.input.injectGlobal(keyDown(KeyCode::Tab, Modifier::Control | Modifier::Shift));
    fake.input.injectGlobal(keyDown(KeyCode::PageDown, Modifier::Control));
    EXPECT_EQ(dismissals, 3);
}

TEST_F(MonitorTest, TheClosedSelectionIsNotShownAgainButAChangedOneIs) {
    const auto field = selectInEditor(u"same text"_s);
    field->selectedRange = TextRange{3, 9};
    mouseUpAndWait();
    ASSERT_EQ(shown.size(), 1u);
    monitor->setSuppressedSignature(SelectionMonitor::signature(shown[0])); // the panel hid

    mouseUpAndWait({2, 2});
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(dismissals, 1);
    EXPECT_TRUE(monitor->suppressedSignature()); // stays

    field->selectedText = u"same texT"_s;
    mouseUpAndWait({2, 2});
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_FALSE(monitor->suppressedSignature());

    // Closed again; a click takes the selection away and, before the click's retry has run,
    // the same text is selected anew: that is a new selection, and it is shown.
    monitor->setSuppressedSignature(SelectionMonitor::signature(shown[1]));
    const auto closed = field->selectedText;
    field->selectedText = QString();
    field->selectedRange = TextRange{3, 0};
    mouseUpAndWait({2, 2});
    field->selectedText = closed;
    field->selectedRange = TextRange{3, 9};
    mouseUpAndWait({2, 2});
    EXPECT_EQ(shown.size(), 3u);
}

TEST_F(MonitorTest, AnEmptyClickEndsTheSuppressionAtOnceThenRetriesOnceAndDismisses) {
    monitor->setSuppressedSignature(u"42|0|5|1"_s);
    mouseUpAndWait();
    EXPECT_EQ(dismissals, 0);
    EXPECT_FALSE(monitor->suppressedSignature()); // the closed selection is gone
    clock.advance(279ms);
    EXPECT_EQ(dismissals, 0);
    clock.advance(1ms);
    EXPECT_EQ(dismissals, 1);
    EXPECT_FALSE(clock.hasPending());

    // The retry finds a selection that arrived late.
    mouseUpAndWait();
    selectInEditor(u"slow app"_s);
    clock.advance(280ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shownAt[0], 400ms + 400ms);

    // A capture that timed out is not tried again.
    selectInEditor(u"hung"_s)->hangs = true;
    mouseUpAndWait();
    EXPECT_FALSE(monitor->hasPendingCapture());
    const int calls = fake.accessibility.calls;
    clock.advance(1s);
    EXPECT_EQ(fake.accessibility.calls, calls);
    EXPECT_EQ(shown.size(), 1u);
}

// Where no input is seen (Wayland), the application's own reports are the gesture: the capture
// follows once they have settled, or sooner once the desktop tells that the gesture has ended (a
// report coming later starts the wait again). Reports of a selection collapsed by the program's
// own write, during it or just after, neither show nor dismiss; the user's collapse dismisses.
TEST_F(MonitorTest, SelectionReportsCaptureOnceSettledOrAtTheGesturesEnd) {
    const auto field = selectInEditor(u"settled"_s);
    fake.input.injectGlobal(selectionChanged(editorPid));
    clock.advance(SelectionMonitor::settleDelay - 1ms);
    fake.input.injectGlobal(selectionChanged(editorPid)); // still extending it
    clock.advance(SelectionMonitor::settleDelay - 1ms);
    EXPECT_TRUE(shown.empty());
    clock.advance(1ms);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, u"settled"_s);
    EXPECT_FALSE(shown[0].mouseAtCapture); // no pointer stands in for the selection

    field->selectedText = u"settled early"_s;
    fake.input.injectGlobal(selectionChanged(editorPid));
    clock.advance(50ms);
    fake.input.injectGlobal(selectionSettled(editorPid));
    clock.advance(SelectionMonitor::captureDelay - 1ms);
    fake.input.injectGlobal(selectionChanged(editorPid));
    clock.advance(SelectionMonitor::settleDelay - 1ms);
    EXPECT_EQ(shown.size(), 1u);
    fake.input.injectGlobal(selectionSettled(editorPid));
    clock.advance(SelectionMonitor::captureDelay);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shownAt[1] - shownAt[0], 50ms + SelectionMonitor::captureDelay - 1ms +
                                           SelectionMonitor::settleDelay - 1ms +
                                           SelectionMonitor::captureDelay);

    field->selectedRange = TextRange{7, 0};
    field->selectedText = QString();
    {
        const OwnWrites::Write write = ownWrites.begin(editorPid);
        fake.input.injectGlobal(selectionChanged(editorPid));
        clock.advance(1s);
    }
    clock.advance(OwnWrites::echoWindow - 1ms);
    fake.input.injectGlobal(selectionSettled(editorPid));
    clock.advance(SelectionMonitor::settleDelay);
    EXPECT_EQ(dismissals, 0);
    fake.input.injectGlobal(selectionChanged(editorPid));
    clock.advance(SelectionMonitor::settleDelay);
    EXPECT_EQ(dismissals, 1);
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_FALSE(clock.hasPending()); // no retry waits on a selection that is gone
}

// An application switch dismisses and ends the suppression. The switch itself not reported yet:
// the capture's answer, for the application or window left behind, shows nothing. One that ends
// where it began carries its window.
TEST_F(MonitorTest, AnApplicationSwitchDismissesAndACaptureEndingElsewhereShowsNothing) {
    selectInEditor(u"left behind"_s);
    fake.workspace.window = 1;
    mouseUpAndWait();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].window, std::optional<WindowId>(1));
    monitor->setSuppressedSignature(SelectionMonitor::signature(shown[0]));
    mouseUpAt({1, 1});
    // Reported after the gesture made in the application it brought to the front.
    fake.workspace.activate(editor);
    EXPECT_EQ(dismissals, 1);
    clock.advance(120ms);
    EXPECT_EQ(shown.size(), 2u);

    for (const bool sameApplication : {true, false}) {
        SCOPED_TRACE(sameApplication);
        shown.clear();
        fake.workspace.frontmost = editor;
        fake.workspace.window = 1;
        thread.holding = true;
        mouseUpAndWait({2, 2});
        if (sameApplication)
            fake.workspace.window = 2;
        else
            fake.workspace.frontmost = fake.workspace.launch({99, u"org.other"_s, {}});
        thread.release();
        clock.advance(1ms);
        EXPECT_TRUE(shown.empty());
    }
}

TEST_F(MonitorTest, OwnAndIgnoredApplicationsAndMissingPermissionShowNothing) {
    auto own = fake.workspace.launch({7, u"io.ovra.Ovra"_s, u"Ovra"_s});
    auto ownField = fake.accessibility.application(own.pid)->addChild();
    ownField->selectedText = u"panel text"_s;
    fake.accessibility.systemFocus = ownField;
    mouseUpAndWait();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(dismissals, 1);

    fake.accessibility.systemFocus.reset();
    selectInEditor(u"private notes"_s);
    ignored.insert(editor.appId);
    mouseUpAndWait();
    EXPECT_EQ(dismissals, 2);
    monitor->triggerManualCapture(); // no keystroke either
    clock.advance(1s);
    EXPECT_EQ(dismissals, 3);
    EXPECT_TRUE(fake.keys.copiesPosted.isEmpty());

    ignored.clear();
    fake.accessibility.trusted = false;
    mouseUpAndWait();
    EXPECT_EQ(dismissals, 4);
    // With accessibility off the copy is the way in: the keystroke goes, nothing was copied, and
    // the copy's last wait ends in a dismissal.
    monitor->triggerManualCapture();
    clock.advance(299ms);
    EXPECT_EQ(dismissals, 4);
    clock.advance(1ms);
    EXPECT_EQ(dismissals, 5);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(fake.keys.copiesPosted, QList<qint32>{editor.pid});
}

// A second press while the copy runs joins it: one copy, one panel, at the newer place. A
// monitor destroyed while it copies puts the clipboard back and calls nothing.
TEST_F(MonitorTest, ManualCaptureUsesTheBridgeFirstThenFallsBackToCopying) {
    const auto field = selectInEditor(u"by shortcut"_s);
    monitor->setSuppressedSignature(u"anything"_s);
    fake.screens.pointer = {50, 60};
    monitor->triggerManualCapture();
    EXPECT_TRUE(shown.empty()); // runs as its own step
    clock.runDue();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].mouseAtCapture, QPointF(50, 60));
    EXPECT_FALSE(monitor->suppressedSignature());
    EXPECT_TRUE(fake.keys.copiesPosted.isEmpty());

    field->selectedText.reset();
    fake.clipboard.setString(u"user's own"_s);
    editorCopiesAfter(30ms, u"terminal text"_s);
    monitor->triggerManualCapture();
    clock.advance(100ms);
    fake.screens.pointer = {70, 80};
    monitor->triggerManualCapture();
    clock.advance(400ms);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text, u"terminal text"_s);
    EXPECT_EQ(shown[1].mouseAtCapture, QPointF(70, 80));
    EXPECT_EQ(dismissals, 0); // the second press found nothing of its own to dismiss with
    EXPECT_EQ(fake.keys.copiesPosted.size(), 1);
    EXPECT_EQ(fake.clipboard.string(), u"user's own"_s);

    fake.keys.onCopy = {}; // nothing is copied
    monitor->triggerManualCapture();
    clock.advance(100ms);
    EXPECT_TRUE(fake.clipboard.items.isEmpty());
    monitor.reset();
    EXPECT_EQ(fake.clipboard.string(), u"user's own"_s);
    EXPECT_EQ(fake.input.installedCount(), 0u);
    clock.advance(1s);
    EXPECT_EQ(dismissals, 0);
    EXPECT_EQ(shown.size(), 2u);
}

// Some editors copy the caret's line for Ctrl+C when nothing is selected: that line is no
// selection. Anything else the copy brings is one, as the caret's own line is at any place.
TEST_F(MonitorTest, ACopiedCaretLineIsNoSelectionButOtherCopiedTextIs) {
    const QString text = u"first line\nsecond line\nthird"_s;
    const struct {
        qint64 caret;
        QString copied;
        bool shown;
    } cases[] = {{14, u"second line\n"_s, false},
                 {0, u"first line\r\n"_s, false},
                 {text.size(), u"third"_s, false},
                 {14, u"second"_s, true},
                 {14, u"first line\n"_s, true}};
    for (const auto& [caret, copied, expectShown] : cases) {
        SCOPED_TRACE(copied.toStdString());
        auto field = selectInEditor(QString());
        field->value = text;
        field->selectedRange = TextRange{caret, 0};
        fake.clipboard.setString(u"user's own"_s);
        editorCopiesAfter(30ms, copied);
        shown.clear();
        monitor->triggerManualCapture();
        clock.advance(400ms);
        EXPECT_EQ(shown.size(), expectShown ? 1u : 0u);
        EXPECT_EQ(fake.clipboard.string(), u"user's own"_s);
    }
}

// One process showing windows of two classes: the active window's id names the selection, the
// same id the menu's "ignore" and the copy capture take, so ignoring it stops the captures.
TEST_F(MonitorTest, AProcessWithTwoWindowClassesIsCapturedAndIgnoredUnderTheActiveWindowsId) {
    fake.workspace.launch({editorPid, u"libreoffice-writer"_s, u"Writer"_s});
    fake.workspace.frontmost = RunningApplication{editorPid, u"libreoffice-calc"_s, u"Calc"_s};
    selectInEditor(u"cells"_s);
    mouseUpAndWait();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].appId, u"libreoffice-calc"_s);
    EXPECT_EQ(shown[0].appName, u"Calc"_s);

    ignored.insert(fake.workspace.frontmostApplication()->appId);
    mouseUpAndWait();
    EXPECT_EQ(shown.size(), 1u);
}
