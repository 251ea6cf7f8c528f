// The window-system side of the platform: input monitors, the active application, synthetic
// keys, the clipboard, and the accessibility tree around a text, driven by xdotool.
#include "platform/desktop_fixture.h"

#include "support/task_runner.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

using platform::X11Connection;
using test::runToEnd;

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
    ASSERT_TRUE(xdotool(u"key ctrl+alt+End"_s));
    ASSERT_TRUE(
        xdotool(u"mousemove %1 %2 keydown shift click 1 keyup shift"_s.arg(window.center().x())
                    .arg(window.center().y())));
    ASSERT_TRUE(xdotool(u"key super+t"_s));
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
    ASSERT_TRUE(xdotool(u"key shift+F12"_s));
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
    ASSERT_FALSE(waitForSelection(gtkTarget(), u"naïve"_s).isNull());
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
    ASSERT_TRUE(xdotool(u"keydown alt"_s));
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
    clipboard.setString(u"antes"_s);
    ASSERT_EQ(readSelection(u"clipboard"_s), u"antes");
    const qint64 before = clipboard.changeCount();
    clipboard.clearContents();
    EXPECT_GT(clipboard.changeCount(), before);
    EXPECT_EQ(readSelection(u"clipboard"_s), QString());
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
