#include "platform/linux/wayland/desktop_session.h"
#include "platform/linux/wayland/kwin_active_window.h"

#include <gtest/gtest.h>

namespace ovra::platform {
namespace {

struct SessionCase {
    const char* type;
    const char* waylandDisplay;
    const char* desktop;
    DesktopSession expected;
};

class DesktopSessionTest : public ::testing::TestWithParam<SessionCase> {};

TEST_P(DesktopSessionTest, TellsTheSessionFromTheEnvironment) {
    const SessionCase& c = GetParam();
    QProcessEnvironment environment;
    if (c.type)
        environment.insert(QStringLiteral("XDG_SESSION_TYPE"), QString::fromLatin1(c.type));
    if (c.waylandDisplay)
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"),
                           QString::fromLatin1(c.waylandDisplay));
    if (c.desktop)
        environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QString::fromLatin1(c.desktop));
    EXPECT_EQ(detectDesktopSession(environment), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, DesktopSessionTest,
    ::testing::Values(
        SessionCase{"wayland", "wayland-0", "KDE", DesktopSession::WaylandKde},
        SessionCase{"Wayland", nullptr, "ubuntu:GNOME", DesktopSession::WaylandGnome},
        SessionCase{"wayland", nullptr, "sway", DesktopSession::WaylandOther},
        // The session type wins over a Wayland socket left in an X11 session's environment.
        SessionCase{"x11", "wayland-0", "KDE", DesktopSession::X11},
        SessionCase{nullptr, "wayland-1", "GNOME", DesktopSession::WaylandGnome},
        SessionCase{nullptr, nullptr, "KDE", DesktopSession::X11},
        SessionCase{"tty", nullptr, nullptr, DesktopSession::X11}));

TEST(KWinReport, ReadsTheActiveWindowAndItsSurface) {
    const auto report = KWinActiveWindow::parseReport(QStringLiteral(
        R"({"pid":1234,"resourceClass":"org.kde.kwrite","client":[10,20.4,500,300]})"));
    ASSERT_TRUE(report && *report);
    EXPECT_EQ((*report)->pid, 1234);
    EXPECT_EQ((*report)->resourceClass, QStringLiteral("org.kde.kwrite"));
    EXPECT_EQ((*report)->area.area, QRect(10, 20, 500, 300));
    // The text's coordinates start at the surface's corner.
    ASSERT_TRUE((*report)->area.clientSideBorder);
    EXPECT_EQ(*(*report)->area.clientSideBorder, QMargins());

    const auto none = KWinActiveWindow::parseReport(QStringLiteral(R"({"pid":0})"));
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);
}

TEST(KWinReport, RefusesMalformedReports) {
    for (const char* json :
         {"", "[]", R"({"client":[0,0,1,1]})", R"({"pid":"12","client":[0,0,1,1]})",
          R"({"pid":-3,"client":[0,0,1,1]})", R"({"pid":99999999999,"client":[0,0,1,1]})",
          R"({"pid":5})", R"({"pid":5,"client":[0,0,1]})", R"({"pid":5,"client":[0,0,"1",1]})",
          R"({"pid":5,"client":[0,0,0,10]})"}) {
        EXPECT_FALSE(KWinActiveWindow::parseReport(QString::fromLatin1(json))) << json;
    }
}

TEST(KWinReport, TheScriptCallsBackTheReceiverItNames) {
    const QString source = KWinActiveWindow::scriptSource(QStringLiteral(":1.42"));
    EXPECT_TRUE(
        source.contains(QStringLiteral(R"(callDBus(":1.42", ")") + KWinActiveWindow::objectPath()));
    EXPECT_FALSE(source.contains(u'%')); // every placeholder filled
}

} // namespace
} // namespace ovra::platform
