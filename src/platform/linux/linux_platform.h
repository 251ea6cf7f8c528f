#pragma once

#include "capture/capture_platform.h"
#include "platform/linux/atspi/atspi_accessibility_services.h"
#include "platform/linux/qt/qt_clipboard_services.h"
#include "platform/linux/qt/qt_screen_services.h"
#include "platform/linux/scaled_accessibility_services.h"
#include "platform/linux/x11/x11_connection.h"
#include "platform/linux/x11/x11_hot_key_service.h"
#include "platform/linux/x11/x11_input_monitors.h"
#include "platform/linux/x11/x11_synthetic_keys.h"
#include "platform/linux/x11/x11_workspace_services.h"

#include <memory>

namespace ovra::platform {

// Every Linux platform service, built over one X connection and owned together. Needs a
// QGuiApplication; main thread only.
class LinuxPlatform {
public:
    // Nothing when there is no X server to connect to (a Wayland session without XWayland, no
    // DISPLAY). The accessibility bus may be missing: its services then answer with failures.
    static std::unique_ptr<LinuxPlatform> create(DesktopEntries entries);
    static std::unique_ptr<LinuxPlatform> create();

    X11Connection& connection() { return *m_connection; }
    X11WorkspaceServices& workspace() { return *m_workspace; }
    // In Qt's logical pixels, as the rest of the program counts.
    AccessibilityServices& accessibility() { return *m_scaledAccessibility; }
    // In the device pixels AT-SPI and X11 count.
    AtspiAccessibilityServices& deviceAccessibility() { return *m_accessibility; }
    X11InputMonitors& input() { return *m_input; }
    X11SyntheticKeys& keys() { return *m_keys; }
    QtClipboardServices& clipboard() { return *m_clipboard; }
    QtScreenServices& screens() { return m_screens; }
    X11HotKeyService& hotKey() { return *m_hotKey; }

    CapturePlatform capturePlatform() {
        return {*m_scaledAccessibility, *m_input, *m_keys, *m_clipboard, *m_workspace, m_screens};
    }

private:
    LinuxPlatform() = default;

    std::unique_ptr<X11Connection> m_connection;
    std::unique_ptr<X11WorkspaceServices> m_workspace;
    std::unique_ptr<AtspiAccessibilityServices> m_accessibility;
    std::unique_ptr<ScaledAccessibilityServices> m_scaledAccessibility;
    std::unique_ptr<X11InputMonitors> m_input;
    std::unique_ptr<X11SyntheticKeys> m_keys;
    std::unique_ptr<QtClipboardServices> m_clipboard;
    QtScreenServices m_screens;
    std::unique_ptr<X11HotKeyService> m_hotKey;
};

} // namespace ovra::platform
