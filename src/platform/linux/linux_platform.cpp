#include "platform/linux/linux_platform.h"

namespace ovra::platform {

std::unique_ptr<LinuxPlatform> LinuxPlatform::create() {
    return create(DesktopEntries(DesktopEntries::sessionDataDirs()));
}

std::unique_ptr<LinuxPlatform> LinuxPlatform::create(DesktopEntries entries) {
    auto connection = X11Connection::open();
    if (!connection)
        return nullptr;
    std::unique_ptr<LinuxPlatform> platform(new LinuxPlatform);
    platform->m_connection = std::move(connection);
    X11Connection& x11 = *platform->m_connection;
    platform->m_workspace = std::make_unique<X11WorkspaceServices>(x11, std::move(entries));
    X11WorkspaceServices* workspace = platform->m_workspace.get();
    platform->m_accessibility = std::make_unique<AtspiAccessibilityServices>(
        [workspace](QPointF point) { return workspace->windowOwnerAt(point); },
        [workspace](qint32 pid) { return workspace->windowArea(pid); });
    platform->m_scaledAccessibility = std::make_unique<ScaledAccessibilityServices>(
        *platform->m_accessibility, [] { return DevicePixels::ofQtScreens(); });
    platform->m_input = std::make_unique<X11InputMonitors>(x11);
    platform->m_keys = std::make_unique<X11SyntheticKeys>(x11, *workspace);
    platform->m_clipboard = std::make_unique<QtClipboardServices>(
        &x11, [workspace](Window window) { return workspace->windowPid(window); });
    platform->m_hotKey = std::make_unique<X11HotKeyService>(x11);
    return platform;
}

} // namespace ovra::platform
