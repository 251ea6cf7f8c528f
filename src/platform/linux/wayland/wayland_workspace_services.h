#pragma once

#include "platform/linux/wayland/active_window.h"
#include "platform/linux/x11/x11_workspace_services.h"
#include "platform/workspace_services.h"

#include <cstdint>
#include <map>
#include <memory>

namespace ovra::platform {

// The desktop's applications in a Wayland session. X11 sees only XWayland's windows there, so the
// active window comes from the compositor's reports (activeWindowChanged); processes are still
// described, and watched for their exit, as on X11. Main thread only.
class WaylandWorkspaceServices final : public WorkspaceServices {
public:
    WaylandWorkspaceServices(X11WorkspaceServices& processes,
                             std::shared_ptr<const ActiveWindowStore> windows);

    // The compositor reported that the window of process `pid` (0: none) became active.
    void activeWindowChanged(qint32 pid);

    std::optional<RunningApplication> frontmostApplication() override;
    // The compositor's report names the process only: no window.
    std::optional<WindowId> frontmostWindow() override { return std::nullopt; }
    std::optional<RunningApplication> runningApplication(qint32 pid) override;
    Subscription observeActivation(ActivationHandler handler) override;
    Subscription observeApplicationGone(qint32 pid, std::function<void()> handler) override;
    // A Wayland client cannot give the keyboard to another: always false.
    bool activateApplication(qint32 pid) override;
    bool activateWindow(qint32, WindowId) override { return false; }
    bool openAccessibilitySettings() override;

private:
    X11WorkspaceServices& m_processes;
    std::shared_ptr<const ActiveWindowStore> m_windows;
    std::map<std::uint64_t, ActivationHandler> m_activationObservers;
    std::uint64_t m_nextToken = 1;
};

} // namespace ovra::platform
