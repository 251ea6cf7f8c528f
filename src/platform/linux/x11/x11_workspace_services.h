#pragma once

#include "platform/linux/desktop_entries.h"
#include "platform/linux/process_exit_watch.h"
#include "platform/linux/terminal_keys.h"
#include "platform/linux/x11/x11_connection.h"
#include "platform/window_area.h"
#include "platform/workspace_services.h"

#include <QObject>
#include <QPointF>
#include <map>
#include <memory>

namespace ovra::platform {

// The desktop's applications as the window manager shows them: the active window
// (_NET_ACTIVE_WINDOW) and the process behind a window (_NET_WM_PID). Applications are named by
// their desktop entry when one matches, else by executable and window class. This program's own
// windows carry its own application id.
class X11WorkspaceServices final : public WorkspaceServices {
public:
    X11WorkspaceServices(X11Connection& connection, DesktopEntries entries);
    ~X11WorkspaceServices() override;
    X11WorkspaceServices(const X11WorkspaceServices&) = delete;
    X11WorkspaceServices& operator=(const X11WorkspaceServices&) = delete;

    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<WindowId> frontmostWindow() override;
    std::optional<RunningApplication> runningApplication(qint32 pid) override;
    // The running application with process `pid`, whose window has this class (or application
    // id) where the window system says; nothing when there is none.
    std::optional<RunningApplication> runningApplication(qint32 pid, const QString& windowClass);
    Subscription observeActivation(ActivationHandler handler) override;
    // Watches the process's end (pidfd) and the window manager's client list (its last window
    // closing); either tells the handler, once.
    Subscription observeApplicationGone(qint32 pid, std::function<void()> handler) override;
    bool activateApplication(qint32 pid) override;
    bool activateWindow(qint32 pid, WindowId window) override;
    bool openAccessibilitySettings() override;

    // The process whose window is topmost at `point` (top-left screen coordinates); 0 when none.
    qint32 windowOwnerAt(QPointF point);
    // Process `pid`'s window on screen (the active window when it is the process's, else its
    // first), with the border GTK says it draws its decorations in (_GTK_FRAME_EXTENTS); nothing
    // without a window.
    std::optional<WindowArea> windowArea(qint32 pid);
    // The copy and paste chords the active window takes (terminals differ).
    ClipboardChords clipboardChordsOfActiveWindow();
    // The process that created `window`, following the client leader; 0 when unknown.
    qint32 windowPid(Window window);

private:
    struct GoneWatch {
        qint32 pid = 0;
        bool hadWindow = false; // only a process seen with a window can lose its last one
        std::function<void()> handler;
        std::unique_ptr<ProcessExitWatch> exit;
    };

    void listenToRoot();
    void onEvent(XEvent& event);
    void onActiveWindowChanged();
    void onClientListChanged();
    void reportGone(std::uint64_t id);
    Window activeWindow();
    std::optional<RunningApplication> applicationOwning(Window window);
    std::optional<RunningApplication> describe(qint32 pid, Window window);
    Window windowOfProcess(qint32 pid);
    // Asks the window manager to make `window` active, as a pager does.
    void requestActivation(Window window);

    X11Connection& m_connection;
    DesktopEntries m_entries;
    int m_listener = 0;
    std::map<std::uint64_t, ActivationHandler> m_observers;
    std::uint64_t m_nextToken = 1;
    Window m_lastReportedWindow = 0; // the active window the observers last heard of
    // While the root window is listened to, the frontmost application as last read: asked for
    // around every capture, read again only after the window manager names another window.
    std::optional<std::optional<RunningApplication>> m_frontmost;
    Window m_lastActiveWindow = 0; // the last active window that was not our panel
    std::map<std::uint64_t, GoneWatch> m_goneWatches;
    std::unique_ptr<QObject> m_context = std::make_unique<QObject>(); // for deferred reports
};

} // namespace ovra::platform
