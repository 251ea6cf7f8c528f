// The window-system side of the platform: input monitors, the active application, synthetic
// keys, the clipboard and PRIMARY, and the hot key, driven by xdotool and xclip.
#include "platform/desktop_fixture.h"

#include "ovra/deployment_config.h"
#include "support/task_runner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ovra::e2e {
namespace {

using platform::DesktopEntries;
using platform::X11Connection;
using platform::X11HotKeyService;
using platform::X11WorkspaceServices;
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
    const ObserverToken token = input.addGlobalMonitor(
        InputEventType::KeyDown | InputEventType::KeyUp | InputEventType::LeftMouseUp,
        [&](const InputEvent& event) { seen.append(event); });
    ASSERT_TRUE(token);
    EXPECT_TRUE(seen.isEmpty()); // never inside the call that installs it

    const QRect window = gtkTarget().geometry();
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

    input.removeMonitor(token);
    const qsizetype before = seen.size();
    ASSERT_TRUE(xdotool({QStringLiteral("key"), QStringLiteral("shift+F12")}));
    QList<InputEvent> afterRemoval;
    const ObserverToken probe = input.addGlobalMonitor(
        InputEventType::KeyUp, [&](const InputEvent& event) { afterRemoval.append(event); });
    ASSERT_TRUE(sendMarkerAndWait(afterRemoval));
    input.removeMonitor(probe);
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
    const ObserverToken token =
        workspace.observeActivation([&](const RunningApplication& app) { activated.append(app); });
    ASSERT_TRUE(token);

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
    workspace.removeObserver(token);

    const qsizetype seen = activated.size();
    ASSERT_TRUE(qtTarget().activate());
    ASSERT_TRUE(gtkTarget().activate());
    desktop().connection().processEvents();
    EXPECT_EQ(activated.size(), seen);
}

TEST(Workspace, NamesTheFrontmostApplicationByItsDesktopEntry) {
    ASSERT_TRUE(gtkTarget().activate());
    const auto plain = desktop().workspace().frontmostApplication();
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->pid, gtkTarget().pid());
    // No entry: the executable (the interpreter) and the window class.
    EXPECT_TRUE(plain->appId.startsWith(u"python3")) << plain->appId.toStdString();
    EXPECT_EQ(plain->name, u"Ovra-gtk-target");

    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkpath(QStringLiteral("applications/ovra-tests")));
    QFile entry(data.filePath(QStringLiteral("applications/ovra-tests/gtk-target.desktop")));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Alvo GTK\nName[pt]=Alvo GTK (pt)\n"
                "Exec=/usr/bin/python3 gtk_text_target.py\nStartupWMClass=Ovra-gtk-target\n");
    entry.close();
    X11WorkspaceServices named(desktop().connection(),
                               DesktopEntries({data.path()}, QStringLiteral("pt_BR")));
    const auto app = named.frontmostApplication();
    ASSERT_TRUE(app.has_value());
    EXPECT_EQ(app->appId, u"ovra-tests-gtk-target");
    EXPECT_EQ(app->name, u"Alvo GTK (pt)");
    EXPECT_EQ(named.runningApplication(gtkTarget().pid()), app);

    const auto self = named.runningApplication(static_cast<qint32>(::getpid()));
    ASSERT_TRUE(self.has_value());
    EXPECT_EQ(self->appId, QString::fromUtf8(deployment::appId));
    EXPECT_FALSE(named.runningApplication(0).has_value());
}

TEST(SyntheticKeys, CopyReachesOnlyTheFrontmostProcess) {
    ASSERT_TRUE(gtkTarget().activate());
    ASSERT_TRUE(selectByKeys(wordKeystrokesIn, wordLength));
    ASSERT_FALSE(waitForSelection(gtkTarget(), QStringLiteral("naïve")).isNull());
    auto& clipboard = desktop().clipboard();
    auto& input = desktop().input();

    // Aimed at a process that is not frontmost: no key reaches the server.
    QList<InputEvent> keys;
    const ObserverToken token =
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
    input.removeMonitor(token);
    bool sawC = false;
    for (const InputEvent& event : std::as_const(keys)) {
        if (event.type == InputEventType::KeyDown && event.keyCode == KeyCode::C) {
            sawC = true;
            EXPECT_EQ(event.modifiers, Modifiers(Modifier::Control));
        }
    }
    EXPECT_TRUE(sawC);
}

TEST(Clipboard, WritesEveryFormatAndRestoresADeepCopy) {
    auto& clipboard = desktop().clipboard();
    const qint64 start = clipboard.changeCount();
    ClipboardItem item;
    item.representations = {
        {ClipboardTypes::plainText, QStringLiteral("olá 😀").toUtf8()},
        {QStringLiteral("text/html"), QByteArrayLiteral("<b>ol\xc3\xa1</b>")},
        {QStringLiteral("application/x-ovra-test"), QByteArray("\x00\x01\x02", 3)},
        {ClipboardTypes::passwordManagerHint, ClipboardTypes::secretHintValue},
    };
    clipboard.writeItems({item});
    EXPECT_GT(clipboard.changeCount(), start);
    EXPECT_EQ(runToEnd(clipboard.readItems()).items.size(), 1);

    // Another client sees every format. Asking for the list of formats is no read; asking for
    // data is one (xclip's window names no process: it may be the paste's target).
    const auto read = [](const QString& type) {
        return readSelection(QStringLiteral("clipboard"), type);
    };
    QCoro::Task<bool> taken = clipboard.waitUntilRead(qint32(::getpid()), 5s);
    EXPECT_TRUE(read(QStringLiteral("TARGETS")).contains(u"text/html"));
    EXPECT_FALSE(taken.isReady()) << "the list of formats counted as a read";
    EXPECT_EQ(read(QStringLiteral("text/html")), u"<b>olá</b>");
    ASSERT_TRUE(waitUntil([&] { return taken.isReady(); }, 2s)) << "the read was not seen";
    EXPECT_TRUE(runToEnd(std::move(taken)));
    EXPECT_EQ(read(QStringLiteral("UTF8_STRING")), u"olá 😀");
    EXPECT_EQ(read(ClipboardTypes::passwordManagerHint), u"secret");

    // Someone else takes the clipboard: the counter grows and their content is read in full.
    const qint64 beforeOther = clipboard.changeCount();
    ASSERT_EQ(runTool(QStringLiteral("xclip"),
                      {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                       QStringLiteral("-t"), QStringLiteral("text/html"), QStringLiteral("-i")},
                      QByteArrayLiteral("<i>fora</i>"))
                  .exitCode,
              0);
    ASSERT_TRUE(waitUntil([&] { return clipboard.changeCount() > beforeOther; }));
    ClipboardReading reading;
    ASSERT_TRUE(waitUntil([&] {
        reading = runToEnd(clipboard.readItems());
        return !reading.items.isEmpty();
    }));
    EXPECT_TRUE(reading.unread.isEmpty());
    ASSERT_EQ(reading.items.size(), 1);
    const ClipboardItem copy = reading.items[0];
    const QByteArray html = QByteArrayLiteral("<i>fora</i>");
    EXPECT_TRUE(copy.representations.contains(std::pair(QStringLiteral("text/html"), html)));

    clipboard.setString(QStringLiteral("temporário"));
    EXPECT_EQ(read(QStringLiteral("UTF8_STRING")), u"temporário");
    clipboard.writeItems({copy});
    EXPECT_EQ(read(QStringLiteral("text/html")), u"<i>fora</i>");

    const qint64 beforeClear = clipboard.changeCount();
    clipboard.clearContents();
    EXPECT_GT(clipboard.changeCount(), beforeClear);
    EXPECT_TRUE(runToEnd(clipboard.readItems()).items.isEmpty());
    EXPECT_FALSE(runToEnd(clipboard.readString()).has_value());
}

TEST(Clipboard, PrimarySelectionNamesTheSelectingProcess) {
    struct Case {
        TargetApp& app;
        int skip, count;
        QString word;
    };
    for (const Case& selection :
         {Case{gtkTarget(), wordKeystrokesIn, wordLength, QStringLiteral("naïve")},
          Case{qtTarget(), 0, 3, QStringLiteral("Olá")}}) {
        SCOPED_TRACE(selection.word.toStdString());
        ASSERT_TRUE(selection.app.activate());
        ASSERT_TRUE(selectByKeys(selection.skip, selection.count));
        ASSERT_FALSE(waitForSelection(selection.app, selection.word).isNull());
        std::optional<PrimarySelection> primary;
        EXPECT_TRUE(waitUntil([&] {
            primary = runToEnd(desktop().clipboard().readPrimarySelection());
            return primary && primary->text == selection.word;
        }));
        ASSERT_TRUE(primary.has_value());
        EXPECT_EQ(primary->ownerPid, selection.app.pid());
    }
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
    const ObserverToken token = desktop().input().addGlobalMonitor(
        InputEventType::KeyUp, [&](const InputEvent& event) { marker.append(event); });
    ASSERT_TRUE(sendMarkerAndWait(marker));
    desktop().input().removeMonitor(token);
    EXPECT_EQ(presses, 2);

    // Not a modifier we map, and a key without a keysym.
    EXPECT_FALSE(hotKey.registerHotKey(
        QKeyCombination(Qt::KeypadModifier | Qt::ControlModifier, Qt::Key_T), [] {}));
    EXPECT_FALSE(hotKey.registerHotKey(QKeyCombination(controlAlt, Qt::Key_VolumeUp), [] {}));
}

} // namespace
} // namespace ovra::e2e

namespace ovra::e2e {
namespace {

// The accessibility switch is asked before every capture: it is followed from the service's
// announcements rather than read each time.
TEST(AccessibilitySwitch, IsFollowedWithoutAskingTheServiceAgain) {
    platform::AtspiAccessibilitySwitch accessSwitch;
    ASSERT_TRUE(accessSwitch.isAccessEnabled()) << "the headless session starts with it on";
    ASSERT_TRUE(setAccessibilitySwitch(false));
    EXPECT_TRUE(waitUntil([&] { return !accessSwitch.isAccessEnabled(); }));
    ASSERT_TRUE(setAccessibilitySwitch(true));
    EXPECT_TRUE(waitUntil([&] { return accessSwitch.isAccessEnabled(); }));
}

} // namespace
} // namespace ovra::e2e
