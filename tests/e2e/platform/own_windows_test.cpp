// Input to this program's own windows goes to the local monitors, not the global ones; screens
// and the pointer come in the window system's top-left coordinates.
#include "platform/desktop_fixture.h"

#include <QCoreApplication>
#include <QRasterWindow>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {

TEST(OwnWindows, InputReachesLocalMonitorsOnly) {
    auto& input = desktop().input();
    QRasterWindow window;
    window.setTitle(u"Ovra own window"_s);
    window.setGeometry(300, 400, 200, 150);
    window.show();
    const QString id = QString::number(window.winId());
    ASSERT_TRUE(waitUntil([&] {
        xdotool(u"windowactivate "_s + id);
        return window.isActive();
    }));

    QList<InputEvent> local, global;
    Subscription localWatch =
        input.addLocalMonitor(InputEventType::KeyDown | InputEventType::LeftMouseUp,
                              [&](const InputEvent& event) { local.append(event); });
    Subscription globalWatch =
        input.addGlobalMonitor(InputEventType::KeyDown | InputEventType::LeftMouseUp,
                               [&](const InputEvent& event) { global.append(event); });
    ASSERT_TRUE(localWatch && globalWatch);

    ASSERT_TRUE(xdotool(u"key ctrl+a"_s));
    ASSERT_TRUE(waitUntil([&] { return !local.isEmpty(); }));
    EXPECT_EQ(local.first().type, InputEventType::KeyDown);
    EXPECT_EQ(local.last().keyCode, KeyCode::A);
    EXPECT_EQ(local.last().modifiers, Modifiers(Modifier::Control));
    EXPECT_EQ(local.last().charactersIgnoringModifiers, u"a");

    const QPoint centre = window.geometry().center();
    ASSERT_TRUE(xdotool(u"mousemove %1 %2 click 1"_s.arg(centre.x()).arg(centre.y())));
    ASSERT_TRUE(waitUntil([&] {
        return std::any_of(local.cbegin(), local.cend(), [](const InputEvent& event) {
            return event.type == InputEventType::LeftMouseUp;
        });
    }));
    // The raw events arrive on our own connection as well; by the time Qt saw the click they
    // have been read (same server, same order), and none was passed on.
    desktop().connection().processEvents();
    EXPECT_TRUE(global.isEmpty());

    // Our own elements are never read over the bus: we would wait on ourselves.
    auto& ax = desktopAccessibility();
    EXPECT_TRUE(
        ax.applicationElement(static_cast<qint32>(QCoreApplication::applicationPid())).isNull());
    EXPECT_FALSE(ax.elementAtPosition(QPointF(centre)).ok());

    localWatch.reset();
    globalWatch.reset();
    const qsizetype seen = local.size();
    ASSERT_TRUE(xdotool(u"key ctrl+a"_s));
    QList<InputEvent> after;
    Subscription probe = input.addLocalMonitor(
        InputEventType::KeyDown, [&](const InputEvent& event) { after.append(event); });
    ASSERT_TRUE(xdotool(u"key ctrl+b"_s));
    ASSERT_TRUE(waitUntil([&] { return !after.isEmpty(); }));
    probe.reset();
    EXPECT_EQ(local.size(), seen);
    window.hide();
}

TEST(Screens, PrimaryScreenAndPointerFromTheTopLeft) {
    auto& screens = desktop().screens();
    const QList<ScreenInfo> all = screens.screens();
    ASSERT_FALSE(all.isEmpty());
    // run-headless.sh starts one 1280×1024 screen.
    EXPECT_EQ(all.first().frame, QRectF(0, 0, 1280, 1024));
    EXPECT_TRUE(all.first().frame.contains(all.first().visibleFrame));

    ASSERT_TRUE(xdotool(u"mousemove 100 200"_s));
    EXPECT_TRUE(waitUntil([&] { return screens.pointerLocation() == QPointF(100, 200); }))
        << screens.pointerLocation().x() << ',' << screens.pointerLocation().y();
}

} // namespace
} // namespace ovra::e2e
