// The window-system side of the platform: input monitors, the active application, synthetic
// keys, the hot key, and the accessibility tree around a text, driven by xdotool.
#include "platform/desktop_fixture.h"

#include "support/task_runner.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ovra::e2e {
namespace {

using platform::X11Connection;
using platform::X11HotKeyService;
using test::runToEnd;

// Ends with a Shift+F12 press, which nothing else sends, so the events before it have arrived.
bool sendMarkerAndWait(QList<InputEvent>& seen) {
    if (!xdotool({QStringLiteral("key"), QStringLiteral("shift+F12")}))
        return false;
    return waitUntil([&] {
        for (const InputEvent& event : std::as_const(seen)) {
            if (event.type == InputEventType::KeyUp && event.keyCode == 111)
                return true;
        }
        return false;
    });
}

TEST(GlobalMonitors, SeeKeysAndClicksWithTheModifiersHeld) {
    ASSERT_TRUE(gtkTarget().activate());
    auto& input = desktop().input();
    QList<InputEvent> seen;
    Subscription watch = input.addGlobalMonitor(
        InputEventType::KeyDown | InputEventType::KeyUp | InputEventType::LeftMouseUp,
        [&](const InputEvent& event) { seen.append(event); });
    ASSERT_TRUE(watch);
    EXPECT_TRUE(seen.isEmpty()); // never inside the call that installs it

    const QRect window = clientGeometry(gtkTarget().windowId());
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+End")}));
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(window.center().x()),
                         QString::number(window.center().y()), QStringLiteral("keydown"),
                         QStringLiteral("shift"), QStringLiteral("click"), QStringLiteral("1"),
                         QStringLiteral("keyup"), QStringLiteral("shift")}));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("super+t")}));
    ASSERT_TRUE(sendMarkerAndWait(seen));

    const auto find = [&](InputEventType type, int keyCode) -> std::optional<InputEvent> {
        for (const InputEvent& event : std::as_const(seen)) {
            if (event.type == type && event.keyCode == keyCode)
                return event;
        }
        return std::nullopt;
    };
    const auto end = find(InputEventType::KeyDown, 119);
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->modifiers, Modifiers(Modifier::Control | Modifier::Alt));
    const auto t = find(InputEventType::KeyDown, KeyCode::T);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->modifiers, Modifiers(Modifier::Super));
    EXPECT_EQ(t->charactersIgnoringModifiers, u"t");
    const auto click = find(InputEventType::LeftMouseUp, -1);
    ASSERT_TRUE(click.has_value());
    EXPECT_EQ(click->modifiers, Modifiers(Modifier::Shift));
    // Mouse-down was not asked for.
    EXPECT_FALSE(find(InputEventType::LeftMouseDown, -1).has_value());

    watch.reset();
    const qsizetype before = seen.size();
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("shift+F12")}));
    QList<InputEvent> afterRemoval;
    Subscription probe = input.addGlobalMonitor(
        InputEventType::KeyUp, [&](const InputEvent& event) { afterRemoval.append(event); });
    ASSERT_TRUE(sendMarkerAndWait(afterRemoval));
    probe.reset();
    EXPECT_EQ(seen.size(), before);
}

// A second top-level window of process `pid`, with a class of its own: how an office suite
// shows its text and spreadsheet applications from one process.
Window openWindowOf(Display* display, qint32 pid, const char* windowClass) {
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 600, 500, 200, 120, 0, 0, 0);
    XClassHint hint{const_cast<char*>("second"), const_cast<char*>(windowClass)};
    XSetClassHint(display, window, &hint);
    const long value = pid;
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
    XMapWindow(display, window);
    XFlush(display);
    return window;
}

TEST(Workspace, ReportsActivationOfEachApplication) {
    ASSERT_TRUE(gtkTarget().activate());
    ASSERT_GT(qtTarget().pid(), 0);
    ASSERT_TRUE(gtkTarget().activate());
    auto& workspace = desktop().workspace();
    QList<RunningApplication> activated;
    Subscription watch =
        workspace.observeActivation([&](const RunningApplication& app) { activated.append(app); });
    ASSERT_TRUE(watch);

    ASSERT_TRUE(qtTarget().activate());
    ASSERT_TRUE(waitUntil([&] { return !activated.isEmpty(); }));
    EXPECT_EQ(activated.last().pid, qtTarget().pid());
    EXPECT_EQ(activated.last().appId, u"ovra_qt_text_target");

    ASSERT_TRUE(gtkTarget().activate());
    ASSERT_TRUE(waitUntil([&] { return activated.size() >= 2; }));
    EXPECT_EQ(activated.last().pid, gtkTarget().pid());

    // The same process in a window of another class is another application, and the captures
    // name it by that window.
    Display* display = desktop().connection().display();
    const Window other = openWindowOf(display, gtkTarget().pid(), "Ovra-other-target");
    ASSERT_TRUE(activateWindow(QString::number(other)));
    ASSERT_TRUE(waitUntil([&] { return activated.size() >= 3; }));
    EXPECT_EQ(activated.last().pid, gtkTarget().pid());
    EXPECT_EQ(activated.last().name, u"Ovra-other-target");
    EXPECT_EQ(workspace.frontmostApplication(), activated.last());
    ASSERT_TRUE(gtkTarget().activate());
    ASSERT_TRUE(waitUntil([&] { return activated.size() >= 4; }));
    EXPECT_EQ(activated.last().name, u"Ovra-gtk-target");
    XDestroyWindow(display, other);
    XFlush(display);
    watch.reset();

    const qsizetype seen = activated.size();
    ASSERT_TRUE(qtTarget().activate());
    ASSERT_TRUE(gtkTarget().activate());
    desktop().connection().processEvents();
    EXPECT_EQ(activated.size(), seen);
}

TEST(SyntheticKeys, CopyReachesOnlyTheFrontmostProcess) {
    ASSERT_TRUE(gtkTarget().activate());
    ASSERT_TRUE(selectByKeys(wordKeystrokesIn, wordLength));
    ASSERT_FALSE(waitForSelection(gtkTarget(), QStringLiteral("naïve")).isNull());
    auto& clipboard = desktop().clipboard();
    auto& input = desktop().input();

    // Aimed at a process that is not frontmost: no key reaches the server.
    QList<InputEvent> keys;
    Subscription watch =
        input.addGlobalMonitor(InputEventType::KeyDown | InputEventType::KeyUp,
                               [&](const InputEvent& event) { keys.append(event); });
    desktop().keys().postCopyCommand(qtTarget().pid());
    ASSERT_TRUE(sendMarkerAndWait(keys));
    for (const InputEvent& event : std::as_const(keys))
        EXPECT_NE(event.keyCode, KeyCode::C);

    // Held modifiers (the hot key's) are released first, so the application sees Ctrl+C.
    keys.clear();
    ASSERT_TRUE(xdotool({QStringLiteral("keydown"), QStringLiteral("alt")}));
    const qint64 before = clipboard.changeCount();
    desktop().keys().postCopyCommand(gtkTarget().pid());
    EXPECT_TRUE(waitUntil([&] { return clipboard.changeCount() > before; }));
    EXPECT_TRUE(waitUntil([&] { return runToEnd(clipboard.readString()) == u"naïve"; }));
    ASSERT_TRUE(sendMarkerAndWait(keys));
    watch.reset();
    bool sawC = false;
    for (const InputEvent& event : std::as_const(keys)) {
        if (event.type == InputEventType::KeyDown && event.keyCode == KeyCode::C) {
            sawC = true;
            EXPECT_EQ(event.modifiers, Modifiers(Modifier::Control));
        }
    }
    EXPECT_TRUE(sawC);
}

// The copy stage empties the clipboard first, so that only the application's copy fills it: other
// applications then read nothing there.
TEST(Clipboard, ClearedItOffersNothing) {
    auto& clipboard = desktop().clipboard();
    clipboard.setString(QStringLiteral("antes"));
    ASSERT_EQ(readSelection(QStringLiteral("clipboard")), u"antes");
    const qint64 before = clipboard.changeCount();
    clipboard.clearContents();
    EXPECT_GT(clipboard.changeCount(), before);
    EXPECT_EQ(readSelection(QStringLiteral("clipboard")), QString());
}

TEST(HotKey, GrabbedCombinationFiresOncePerPressWhateverTheLocks) {
    ASSERT_TRUE(gtkTarget().activate());
    auto& hotKey = desktop().hotKey();
    int presses = 0;
    constexpr Qt::KeyboardModifiers controlAlt = Qt::ControlModifier | Qt::AltModifier;
    constexpr QKeyCombination controlAltT(controlAlt, Qt::Key_T);
    ASSERT_TRUE(hotKey.registerHotKey(controlAltT, [&] { ++presses; }));
    EXPECT_FALSE(
        hotKey.registerHotKey(QKeyCombination(controlAlt, Qt::Key_A), [] {})); // one at a time

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+t")}));
    EXPECT_TRUE(waitUntil([&] { return presses == 1; }));
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("Caps_Lock"),
                         QStringLiteral("ctrl+alt+t"), QStringLiteral("Caps_Lock")}));
    EXPECT_TRUE(waitUntil([&] { return presses == 2; }));
    // Another modifier held is another combination.
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+shift+t")}));

    // A second client cannot take the combination while it is held, and can once it is let go.
    auto other = X11Connection::open();
    ASSERT_TRUE(other);
    X11HotKeyService competitor(*other);
    EXPECT_FALSE(competitor.registerHotKey(controlAltT, [] {}));
    hotKey.unregisterHotKey();
    EXPECT_TRUE(competitor.registerHotKey(controlAltT, [] {}));
    competitor.unregisterHotKey();

    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+t")}));
    QList<InputEvent> marker;
    Subscription watch = desktop().input().addGlobalMonitor(
        InputEventType::KeyUp, [&](const InputEvent& event) { marker.append(event); });
    ASSERT_TRUE(sendMarkerAndWait(marker));
    watch.reset();
    EXPECT_EQ(presses, 2);

    // Not a modifier we map, and a key without a keysym.
    EXPECT_FALSE(hotKey.registerHotKey(
        QKeyCombination(Qt::KeypadModifier | Qt::ControlModifier, Qt::Key_T), [] {}));
    EXPECT_FALSE(hotKey.registerHotKey(QKeyCombination(controlAlt, Qt::Key_VolumeUp), [] {}));
}

// The focused text as the capture sees it: a writable text area, followed from focus events. The
// capture also walks up from what is under the pointer (in Qt a filler inside the text view) to
// the element holding the text: the tree hangs together from the text up to the application.
TEST(AccessibleTree, TheFocusedTextHangsUnderItsWindowAndApplication) {
    auto& ax = desktopAccessibility();
    ax.systemFocusedElement(); // starts following focus events; each activation below is one
    for (TargetApp* app : {&qtTarget(), &gtkTarget()}) {
        ASSERT_TRUE(app->activate());
        const AccessibleElement text = focusedElementOf(ax, app->pid());
        const AccessibleElement application = ax.applicationElement(app->pid());
        ASSERT_TRUE(text && application);
        EXPECT_EQ(ax.processId(text), app->pid());
        EXPECT_EQ(ax.role(text).value, ElementRole::TextArea);
        EXPECT_TRUE(ax.isSettable(text, SettableAttribute::SelectedText).value);
        EXPECT_TRUE(waitUntil([&] { return ax.systemFocusedElement().value == text; }));
        const auto parent = ax.parent(text);
        ASSERT_TRUE(parent.ok() && parent.value);
        EXPECT_TRUE(ax.children(parent.value).value.contains(text));
        AccessibleElement current = text;
        for (int steps = 0; current && !(current == application) && steps < 30; ++steps)
            current = ax.parent(current).value;
        EXPECT_EQ(current, application);
        EXPECT_FALSE(ax.parent(application).value);
        const auto windows = ax.windows(application);
        ASSERT_TRUE(windows.ok() && !windows.value.isEmpty());
        EXPECT_TRUE(ax.frame(windows.value.first()).value.contains(ax.frame(text).value));
    }
}

// The accessibility switch is asked before every capture: it is read once, without waiting, then
// followed from the service's announcements rather than read each time. Turned off (by the user,
// or another program), the program turns it on again, for every application to see.
TEST(AccessibilitySwitch, IsFollowedAndTurnedOnAgain) {
    platform::AtspiAccessibilitySwitch accessSwitch;
    test::runToEnd(accessSwitch.readState());
    ASSERT_TRUE(accessSwitch.isAccessEnabled()) << "the headless session starts with it on";
    for (const bool on : {false, true, false}) {
        ASSERT_TRUE(setAccessibilitySwitch(on));
        EXPECT_TRUE(waitUntil([&] { return accessSwitch.isAccessEnabled() == on; }));
    }
    EXPECT_TRUE(test::runToEnd(accessSwitch.enableAccess()));
    EXPECT_EQ(accessibilitySwitch(), true);
}

} // namespace
} // namespace ovra::e2e
