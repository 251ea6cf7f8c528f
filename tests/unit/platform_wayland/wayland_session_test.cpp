#include "platform/linux/wayland/active_window_report.h"
#include "platform/linux/wayland/bus_owner_watch.h"
#include "platform/linux/wayland/desktop_session.h"
#include "platform/linux/wayland/gnome_extension_switch.h"
#include "platform/linux/wayland/gnome_shell_helper.h"
#include "platform/linux/wayland/kglobalaccel_hot_keys.h"
#include "platform/linux/wayland/kwin_active_window.h"

#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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
        environment.insert(u"XDG_SESSION_TYPE"_s, QString::fromLatin1(c.type));
    if (c.waylandDisplay)
        environment.insert(u"WAYLAND_DISPLAY"_s, QString::fromLatin1(c.waylandDisplay));
    if (c.desktop)
        environment.insert(u"XDG_CURRENT_DESKTOP"_s, QString::fromLatin1(c.desktop));
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

TEST(ActiveWindowReport, ReadsTheActiveWindowAndItsSurface) {
    const auto report = parseActiveWindowReport(
        uR"({"pid":1234,"resourceClass":"org.kde.kwrite","client":[10,20.4,500,300],)"
        R"("frame":[40,30,440,260]})"_s);
    ASSERT_TRUE(report && *report);
    EXPECT_EQ((*report)->pid, 1234);
    EXPECT_EQ((*report)->resourceClass, u"org.kde.kwrite"_s);
    ASSERT_TRUE((*report)->area);
    EXPECT_EQ((*report)->area->area, QRect(10, 20, 500, 300));
    // What the toolkit draws inside the surface is left to its own size to tell.
    EXPECT_FALSE((*report)->area->clientSideBorder);
    EXPECT_EQ((*report)->area->frame, QRect(40, 30, 440, 260));

    const auto none = parseActiveWindowReport(uR"({"pid":0})"_s);
    ASSERT_TRUE(none);
    EXPECT_FALSE(*none);
}

TEST(ActiveWindowReport, RefusesMalformedReports) {
    for (const char* json :
         {"", "[]", R"({"client":[0,0,1,1]})", R"({"pid":"12","client":[0,0,1,1]})",
          R"({"pid":-3,"client":[0,0,1,1]})", R"({"pid":99999999999,"client":[0,0,1,1]})",
          R"({"pid":5})", R"({"pid":5,"client":[0,0,1]})", R"({"pid":5,"client":[0,0,"1",1]})",
          R"({"pid":5,"client":[0,0,0,10]})"}) {
        EXPECT_FALSE(parseActiveWindowReport(QString::fromLatin1(json))) << json;
    }
}

// A desktop helper that comes back is registered with again, once per new owner of its name; one
// that leaves is not, nor the owner registered with at the start when its news arrives late.
TEST(BusOwnerWatch, CallsBackOncePerNewOwner) {
    QStringList registered;
    BusOwnerWatch watch(
        u"org.example.Helper"_s, [&](const QString& owner) { registered << owner; },
        QDBusConnection(u"no bus in unit tests"_s));
    watch.setKnownOwner(u":1.4"_s);
    auto* bus = watch.findChild<QDBusServiceWatcher*>();
    ASSERT_TRUE(bus);
    ASSERT_EQ(bus->watchedServices(), QStringList{u"org.example.Helper"_s});
    const std::pair<const char*, const char*> changes[] = {
        {"", ":1.4"}, {":1.4", ""}, {"", ":1.9"}, {":1.9", ":1.12"}, {":1.9", ":1.12"}};
    for (const auto& [from, to] : changes)
        Q_EMIT bus->serviceOwnerChanged(u"org.example.Helper"_s, QString::fromLatin1(from),
                                        QString::fromLatin1(to));
    EXPECT_EQ(registered, (QStringList{u":1.9"_s, u":1.12"_s}));
}

TEST(ActiveWindowReport, AnotherClassOfTheSameProcessIsAnotherApplication) {
    QList<qint32> changes;
    ActiveWindowReports reports(std::make_shared<ActiveWindowStore>(),
                                [&](qint32 pid) { changes.append(pid); });
    const auto report = [](const char* windowClass, int x) {
        return uR"({"pid":7,"resourceClass":"%1","client":[%2,0,10,10]})"_s
            .arg(QLatin1String(windowClass))
            .arg(x);
    };
    EXPECT_TRUE(reports.take(report("libreoffice-writer", 0)));
    EXPECT_TRUE(reports.take(report("libreoffice-writer", 40))); // the same window, moved
    EXPECT_TRUE(reports.take(report("libreoffice-calc", 0)));
    EXPECT_EQ(changes, QList<qint32>({7, 7}));
}

TEST(KWinReport, TheScriptCallsBackTheReceiverItNames) {
    const QString source = KWinActiveWindow::scriptSource(u":1.42"_s);
    EXPECT_TRUE(source.contains(uR"(callDBus(":1.42", ")"_s + KWinActiveWindow::objectPath()));
    EXPECT_FALSE(source.contains(u'%')); // every placeholder filled
}

constexpr quint32 command = 0x100, shift = 0x200, option = 0x800, control = 0x1000;
constexpr quint32 keyT = 17, keyA = 0;

TEST(GnomeShellShortcut, SpelledInTheShellsNotation) {
    EXPECT_EQ(GnomeShellHelper::accelerator(keyT, option | command), u"<Alt><Super>t"_s);
    EXPECT_EQ(GnomeShellHelper::accelerator(keyA, shift | control), u"<Shift><Control>a"_s);
    EXPECT_FALSE(GnomeShellHelper::accelerator(9999, option));   // no such key
    EXPECT_FALSE(GnomeShellHelper::accelerator(keyT, 0x10000u)); // a modifier it cannot hold
}

// A helper that is not on the bus yet (the extension turned on later, the service up after the
// program at login) keeps the shortcut for its arrival, one at a time, and refuses none it could
// not hold either.
TEST(DesktopHelperShortcut, KeptUntilTheHelperArrives) {
    GnomeShellHelper shell(std::make_shared<ActiveWindowStore>(), [](qint32) {});
    KGlobalAccelHotKeys kde;
    for (HotKeyService* helper : std::initializer_list<HotKeyService*>{&shell, &kde}) {
        EXPECT_TRUE(helper->registerHotKey(keyT, option | command, [] {}));
        EXPECT_FALSE(helper->registerHotKey(keyA, option, [] {})); // one is held already
        helper->unregisterHotKey();
        EXPECT_FALSE(helper->registerHotKey(9999, option, [] {}));
        EXPECT_TRUE(helper->registerHotKey(keyA, option, [] {}));
    }
}

TEST(GnomeShellExtension, TheFormTheShellLoads) {
    const std::pair<const char*, const char*> forms[] = {
        {"43.9", "43"},  {"44.1", "43"}, {"45.0", "45"}, {"48.7", "45"},
        {"49.rc", "45"}, {"42.9", ""},   {"", ""},       {"GNOME", ""}};
    for (const auto& [version, form] : forms)
        EXPECT_EQ(gnomeShellExtensionForm(QString::fromLatin1(version)), QLatin1String(form))
            << version;
}

TEST(GnomeShellExtension, LinksTheFormAndLeavesTheUsersOwnCopy) {
    QTemporaryDir root;
    const QString forms = root.filePath(u"share/ovra/gnome-shell/"_s);
    const QString user = root.filePath(u"home/gnome-shell/extensions"_s);
    const QString link = user + u"/ovra@ovra.app"_s;
    for (const char* form : {"43", "45"})
        ASSERT_TRUE(QDir().mkpath(forms + QLatin1String(form) + u"/ovra@ovra.app"_s));

    EXPECT_TRUE(linkGnomeShellExtension(forms + u"43"_s, user));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), forms + u"43/ovra@ovra.app"_s);
    // After the shell's upgrade the program's link turns to the other form.
    EXPECT_TRUE(linkGnomeShellExtension(forms + u"45"_s, user));
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), forms + u"45/ovra@ovra.app"_s);

    ASSERT_TRUE(QFile::remove(link) && QDir().mkpath(link));
    EXPECT_FALSE(linkGnomeShellExtension(forms + u"45"_s, user));
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(KdeShortcut, CountedAsQtKeysWithQtModifiers) {
    constexpr quint32 key1 = 18, keyComma = 43, keyF5 = 96, keyLeft = 123;
    const auto meta = int(Qt::MetaModifier), alt = int(Qt::AltModifier);
    const auto ctrl = int(Qt::ControlModifier), shiftKey = int(Qt::ShiftModifier);
    EXPECT_EQ(KGlobalAccelHotKeys::qtKeys(keyT, option | command), meta | alt | Qt::Key_T);
    EXPECT_EQ(KGlobalAccelHotKeys::qtKeys(keyA, shift | control), shiftKey | ctrl | Qt::Key_A);
    EXPECT_EQ(KGlobalAccelHotKeys::qtKeys(key1, control), ctrl | Qt::Key_1);
    EXPECT_EQ(KGlobalAccelHotKeys::qtKeys(keyComma, command), meta | Qt::Key_Comma);
    EXPECT_EQ(KGlobalAccelHotKeys::qtKeys(keyF5, 0), int(Qt::Key_F5));
    EXPECT_EQ(KGlobalAccelHotKeys::qtKeys(keyLeft, option), alt | Qt::Key_Left);
    EXPECT_FALSE(KGlobalAccelHotKeys::qtKeys(9999, option));
    EXPECT_FALSE(KGlobalAccelHotKeys::qtKeys(keyT, 0x10000u));
}

} // namespace
} // namespace ovra::platform
