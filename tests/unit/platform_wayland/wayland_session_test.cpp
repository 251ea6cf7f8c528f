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

TEST(DesktopSession, ToldFromTheEnvironment) {
    const struct {
        const char* type;
        const char* waylandDisplay;
        const char* desktop;
        DesktopSession expected;
    } cases[] = {
        {"wayland", "wayland-0", "KDE", DesktopSession::WaylandKde},
        {"Wayland", nullptr, "ubuntu:GNOME", DesktopSession::WaylandGnome},
        {"wayland", nullptr, "sway", DesktopSession::WaylandOther},
        // The session type wins over a Wayland socket left in an X11 session's environment.
        {"x11", "wayland-0", "KDE", DesktopSession::X11},
        {nullptr, "wayland-1", "GNOME", DesktopSession::WaylandGnome},
        {nullptr, nullptr, "KDE", DesktopSession::X11},
        {"tty", nullptr, nullptr, DesktopSession::X11},
    };
    for (const auto& [type, waylandDisplay, desktop, expected] : cases) {
        QProcessEnvironment environment;
        const std::pair<QString, const char*> variables[] = {{u"XDG_SESSION_TYPE"_s, type},
                                                             {u"WAYLAND_DISPLAY"_s, waylandDisplay},
                                                             {u"XDG_CURRENT_DESKTOP"_s, desktop}};
        for (const auto& [name, value] : variables)
            if (value)
                environment.insert(name, QString::fromLatin1(value));
        EXPECT_EQ(detectDesktopSession(environment), expected) << type << ' ' << desktop;
    }
}

TEST(ActiveWindowReport, ReadsTheActiveWindowAndItsSurfaceAndRefusesMalformedOnes) {
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

    // Malformed reports are refused.
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

TEST(ActiveWindowReport, AnotherClassOfTheSameProcessIsAnotherApplicationAndKWinSendsThem) {
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

    // KWin's script sends its reports to the receiver it names.
    const QString source = KWinActiveWindow::scriptSource(u":1.42"_s);
    EXPECT_TRUE(source.contains(uR"(callDBus(":1.42", ")"_s + KWinActiveWindow::objectPath()));
    EXPECT_FALSE(source.contains(u'%')); // every placeholder filled
}

constexpr QKeyCombination altSuperT(Qt::AltModifier | Qt::MetaModifier, Qt::Key_T);
constexpr QKeyCombination altA(Qt::AltModifier, Qt::Key_A);
constexpr QKeyCombination altVolumeUp(Qt::AltModifier, Qt::Key_VolumeUp);

// A helper that is not on the bus yet (the extension turned on later, the service up after the
// program at login) keeps the shortcut for its arrival, one at a time; the shell's extension
// refuses one it could not hold either.
TEST(DesktopHelperShortcut, KeptUntilTheHelperArrivesAndSpelledInTheShellsNotation) {
    GnomeShellHelper shell(std::make_shared<ActiveWindowStore>(), [](qint32) {});
    KGlobalAccelHotKeys kde;
    for (HotKeyService* helper : std::initializer_list<HotKeyService*>{&shell, &kde}) {
        EXPECT_TRUE(helper->registerHotKey(altSuperT, [] {}));
        EXPECT_FALSE(helper->registerHotKey(altA, [] {})); // one is held already
        helper->unregisterHotKey();
        EXPECT_EQ(helper->registerHotKey(altVolumeUp, [] {}), helper == &kde);
        helper->unregisterHotKey();
        EXPECT_TRUE(helper->registerHotKey(altA, [] {}));
    }

    // The shell's own notation.
    EXPECT_EQ(GnomeShellHelper::accelerator(altSuperT), QStringLiteral("<Alt><Super>t"));
    EXPECT_EQ(GnomeShellHelper::accelerator(
                  QKeyCombination(Qt::ShiftModifier | Qt::ControlModifier, Qt::Key_A)),
              QStringLiteral("<Shift><Control>a"));
    EXPECT_FALSE(GnomeShellHelper::accelerator(altVolumeUp)); // a key it has no name for
    EXPECT_FALSE(GnomeShellHelper::accelerator(
        QKeyCombination(Qt::KeypadModifier, Qt::Key_T))); // a modifier it cannot hold
}

TEST(GnomeShellExtension, TheFormTheShellLoadsIsLinkedAndTheUsersOwnCopyLeft) {
    const std::pair<const char*, const char*> shellForms[] = {
        {"43.9", "43"},  {"44.1", "43"}, {"45.0", "45"}, {"48.7", "45"},
        {"49.rc", "45"}, {"42.9", ""},   {"", ""},       {"GNOME", ""}};
    for (const auto& [version, form] : shellForms)
        EXPECT_EQ(gnomeShellExtensionForm(QString::fromLatin1(version)), QLatin1String(form))
            << version;

    // The program's link to the form; the user's own copy is left alone.
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

} // namespace
} // namespace ovra::platform
