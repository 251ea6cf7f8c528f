#include "platform/desktop_fixture.h"

#include "platform/linux/atspi/atspi_accessibility_services.h"
#include "platform/linux/session/pixel_scaling.h"
#include "platform/linux/x11/x11_workspace_services.h"

#include <QGuiApplication>
#include <algorithm>
#include <map>

namespace ovra::e2e {

using namespace Qt::StringLiterals;

namespace {
std::unique_ptr<platform::LinuxPlatform> platformInstance;
std::unique_ptr<platform::X11WorkspaceServices> windowsInstance;
std::unique_ptr<platform::AtspiAccessibilityServices> accessibilityInstance;
std::map<TargetApp::Kind, std::unique_ptr<TargetApp>> targets;
} // namespace

platform::LinuxPlatform& desktop() {
    if (!platformInstance) {
        platformInstance = platform::LinuxPlatform::create();
        if (!platformInstance) {
            ADD_FAILURE() << "no X server: run the tests through tests/e2e/run-headless.sh";
            std::abort();
        }
        setConnectionToDrain(&platformInstance->connection());
    }
    return *platformInstance;
}

AccessibilityServices& desktopAccessibility() {
    if (!accessibilityInstance) {
        windowsInstance = std::make_unique<platform::X11WorkspaceServices>(
            desktop().connection(), platform::DesktopEntries(QStringList()));
        platform::X11WorkspaceServices* windows = windowsInstance.get();
        accessibilityInstance = std::make_unique<platform::AtspiAccessibilityServices>(
            [windows](QPointF point) { return windows->windowOwnerAt(point); },
            [windows](qint32 pid) { return windows->windowArea(pid); },
            platform::AtspiAccessibilityServices::Extents::asToolkitsReport,
            platform::scalingBy(&platform::DevicePixels::ofQtScreens));
    }
    return *accessibilityInstance;
}

TargetApp& sharedTarget(TargetApp::Kind kind) {
    auto& app = targets[kind];
    if (!app) {
        const char* const names[] = {"GTK", "Qt", "GNOME editor"};
        app = std::make_unique<TargetApp>(kind,
                                          u"Ovra %1 target"_s.arg(QLatin1String(names[int(kind)])));
        if (!app->start())
            ADD_FAILURE() << names[int(kind)] << " target did not come up";
    }
    return *app;
}

void releaseDesktop() {
    targets.clear();
    accessibilityInstance.reset();
    windowsInstance.reset();
    setConnectionToDrain(nullptr);
    platformInstance.reset();
}

bool sendMarkerAndWait(QList<InputEvent>& seen) {
    if (!xdotool(u"key shift+F12"_s))
        return false;
    return waitUntil([&] {
        return std::ranges::any_of(seen, [](const InputEvent& event) {
            return event.type == InputEventType::KeyUp && event.keyCode == 111;
        });
    });
}

bool selectByKeys(int skip, int count) {
    return xdotool(u"key --delay 5 ctrl+Home"_s + u" Right"_s.repeated(skip) +
                   u" shift+Right"_s.repeated(count));
}

AccessibleElement waitForSelection(TargetApp& app, const QString& selection) {
    auto& ax = desktopAccessibility();
    return focusedElementOf(ax, app.pid(), [&](const AccessibleElement& element) {
        const auto text = ax.selectedText(element);
        return text.ok() && text.value == selection;
    });
}

} // namespace ovra::e2e
