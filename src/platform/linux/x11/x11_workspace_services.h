#pragma once

#include "capture/workspace_services.h"
#include "platform/linux/x11/desktop_entries.h"
#include "platform/linux/x11/x11_connection.h"

#include <QPointF>
#include <map>

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
    std::optional<RunningApplication> runningApplication(qint32 pid) override;
    ObserverToken observeActivation(ActivationHandler handler) override;
    void removeObserver(ObserverToken token) override;
    bool activateApplication(qint32 pid) override;
    bool openAccessibilitySettings() override;

    // The process whose window is topmost at `point` (top-left screen coordinates); 0 when none.
    qint32 windowOwnerAt(QPointF point);
    // The process that created `window`, following the client leader; 0 when unknown.
    qint32 windowPid(Window window);

private:
    void onEvent(XEvent& event);
    Window activeWindow();
    std::optional<RunningApplication> applicationOwning(Window window);
    std::optional<RunningApplication> describe(qint32 pid, Window window);
    Window windowOfProcess(qint32 pid);

    X11Connection& m_connection;
    DesktopEntries m_entries;
    int m_listener = 0;
    std::map<std::uint64_t, ActivationHandler> m_observers;
    std::uint64_t m_nextToken = 1;
    qint32 m_lastActivePid = -1;
    Window m_lastActiveWindow = 0; // the last active window that was not our panel
};

} // namespace ovra::platform
