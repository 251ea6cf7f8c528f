#pragma once

#include "platform/capture_platform.h"
#include "platform/linux/atspi/accessibility_status.h"
#include "platform/linux/qt/qt_clipboard_services.h"
#include "platform/linux/qt/qt_screen_services.h"
#include "platform/linux/wayland/active_window.h"
#include "platform/linux/wayland/desktop_session.h"
#include "platform/linux/x11/x11_connection.h"
#include "platform/linux/x11/x11_hot_key_service.h"
#include "platform/linux/x11/x11_input_monitors.h"
#include "platform/linux/x11/x11_workspace_services.h"

#include "settings/quick_actions.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace ovra::platform {

class GnomeShellHelper;
class KGlobalAccelHotKeys;
class KWinActiveWindow;
class PortalHotKey;
class PortalShortcuts;
class SelectionEventMonitors;
class WaylandWorkspaceServices;

// Every Linux platform service, built over one X connection and owned together. In a Wayland
// session the program still draws through XWayland, but the applications' windows, input and
// keystrokes are out of X11's reach: the active window comes from the compositor, selections
// announce themselves on the accessibility bus, and no keystroke is synthesised. Needs a
// QGuiApplication; main thread only.
class LinuxPlatform {
public:
    // Nothing when there is no X server to connect to (a Wayland session without XWayland, no
    // DISPLAY). The accessibility bus may be missing: its services then answer with failures.
    static std::unique_ptr<LinuxPlatform> create(DesktopEntries entries, DesktopSession session);
    // The session as the environment tells it.
    static std::unique_ptr<LinuxPlatform> create();
    ~LinuxPlatform();

    DesktopSession session() const { return m_session; }
    X11Connection& connection() { return *m_connection; }
    WorkspaceServices& workspace() { return *m_workspaceServices; }
    // The accessibility switch; the elements themselves are read on the accessibility thread.
    AccessibilitySwitch& accessSwitch() { return *m_accessSwitch; }
    // In the device pixels AT-SPI and X11 count.
    InputMonitors& input() { return *m_inputMonitors; }
    SyntheticKeys& keys() { return *m_keys; }
    QtClipboardServices& clipboard() { return *m_clipboard; }
    ScreenServices& screens() { return *m_screenServices; }
    // In a GNOME Wayland session with the program's shell extension, the shell holds the keys.
    HotKeyService& hotKey() { return *m_hotKeyService; }
    // An action's own shortcut, held the same way; null where the session has no way to hold it.
    HotKeyService* actionHotKey(QuickAction action);

    // Wayland sessions: where the compositor has the active window, for placing text; null in X11
    // sessions and where the compositor does not say.
    std::shared_ptr<const ActiveWindowStore> waylandWindows() const { return m_waylandWindows; }
    // Application `pid` reported a change of its selection on the accessibility bus. Wayland
    // sessions take it as the gesture no input event shows, and GNOME's shell extension then
    // tells when that gesture has ended; X11 sessions ignore it.
    void selectionChanged(qint32 pid);
    // An application reported one of its windows as activated on the accessibility bus. Wayland
    // sessions whose compositor reports nothing take it as the active window (with no position);
    // the others ignore it.
    void windowActivated(qint32 pid);
    // GNOME Wayland sessions: the program's shell extension is running (it may come up later).
    bool hasShellExtension() const;
    // KDE Wayland sessions: the desktop's global shortcut service is running (it may come up
    // later).
    bool hasDesktopShortcuts() const;

    // What holds the panel's shortcut now, for the preferences to say.
    enum class HotKeyHolder {
        none,           // nothing yet (the portal has not answered), or nothing on this desktop
        x11,            // the program's own grab in an X11 session
        desktopPortal,  // the desktop's GlobalShortcuts portal
        kdeShortcuts,   // KDE's global shortcut service, asked directly
        shellExtension, // the program's GNOME Shell extension
    };
    struct HotKeyHolding {
        HotKeyHolder holder = HotKeyHolder::none;
        // The portal's text for the trigger it bound, which its settings or dialog may have
        // chosen instead of the one asked for; empty elsewhere.
        QString trigger;
    };
    HotKeyHolding hotKeyHolding() const;
    // Called after each change of the holding (the portal answers late, or its triggers change).
    std::function<void()> onHotKeyHoldingChanged;

    CapturePlatform capturePlatform() {
        return {*m_accessSwitch, *m_inputMonitors,     *m_keys,
                *m_clipboard,    *m_workspaceServices, *m_screenServices};
    }

private:
    LinuxPlatform() = default;
    void setUpWayland();
    void setUpPortalShortcuts();
    // An action's shortcut held by the session's own helper, the portal's stand-in.
    HotKeyService* helperActionHotKey(QuickAction action);
    bool compositorReportsWindows() const;

    DesktopSession m_session = DesktopSession::X11;
    std::unique_ptr<X11Connection> m_connection;
    std::unique_ptr<X11WorkspaceServices> m_workspace;
    std::unique_ptr<AtspiAccessibilitySwitch> m_accessSwitch;
    std::unique_ptr<X11InputMonitors> m_input;
    std::unique_ptr<SyntheticKeys> m_keys;
    std::unique_ptr<QtClipboardServices> m_clipboard;
    QtScreenServices m_screens;
    std::unique_ptr<X11HotKeyService> m_hotKey;
    // Wayland sessions only.
    std::shared_ptr<ActiveWindowStore> m_waylandWindows;
    std::unique_ptr<WaylandWorkspaceServices> m_waylandWorkspace;
    std::unique_ptr<SelectionEventMonitors> m_selectionEvents;
    std::unique_ptr<ScreenServices> m_pointerlessScreens;
    std::unique_ptr<KWinActiveWindow> m_kwin;
    std::unique_ptr<GnomeShellHelper> m_gnomeShell;
    std::unique_ptr<KGlobalAccelHotKeys> m_kdeShortcuts;
    std::unique_ptr<PortalShortcuts> m_portal;
    std::unique_ptr<PortalHotKey> m_portalHotKey; // the panel's, over the session's helper
    bool m_waitingForInputRelease = false;        // one question to the shell at a time
    // What the rest of the program is handed: the session's services.
    WorkspaceServices* m_workspaceServices = nullptr;
    InputMonitors* m_inputMonitors = nullptr;
    ScreenServices* m_screenServices = nullptr;
    HotKeyService* m_hotKeyService = nullptr;
    // One holder per action, made on first use.
    std::map<QuickAction, std::unique_ptr<X11HotKeyService>> m_actionX11HotKeys;
    std::map<QuickAction, std::unique_ptr<KGlobalAccelHotKeys>> m_actionKdeShortcuts;
    std::map<QuickAction, std::unique_ptr<HotKeyService>> m_actionGnomeShortcuts;
    std::map<QuickAction, std::unique_ptr<PortalHotKey>> m_actionPortalHotKeys;
};

} // namespace ovra::platform
