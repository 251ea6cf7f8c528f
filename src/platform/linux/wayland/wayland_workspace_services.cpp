#include "platform/linux/wayland/wayland_workspace_services.h"

#include <vector>

namespace ovra::platform {

WaylandWorkspaceServices::WaylandWorkspaceServices(X11WorkspaceServices& processes,
                                                   std::shared_ptr<const ActiveWindowStore> windows)
    : m_processes(processes), m_windows(std::move(windows)) {}

void WaylandWorkspaceServices::activeWindowChanged(qint32 pid) {
    const std::optional<RunningApplication> app = runningApplication(pid);
    if (!app)
        return;
    std::vector<std::uint64_t> tokens;
    for (const auto& [token, handler] : m_activationObservers)
        tokens.push_back(token);
    for (const std::uint64_t token : tokens) {
        // A handler may remove observers; those removed are not called any more.
        const auto it = m_activationObservers.find(token);
        if (it != m_activationObservers.end())
            it->second(*app);
    }
}

std::optional<RunningApplication> WaylandWorkspaceServices::frontmostApplication() {
    const std::optional<ActiveWindow> window = m_windows->get();
    if (!window)
        return std::nullopt;
    return m_processes.runningApplication(window->pid, window->resourceClass);
}

std::optional<RunningApplication> WaylandWorkspaceServices::runningApplication(qint32 pid) {
    const std::optional<ActiveWindow> window = m_windows->get();
    if (window && window->pid == pid)
        return m_processes.runningApplication(pid, window->resourceClass);
    return m_processes.runningApplication(pid);
}

Subscription WaylandWorkspaceServices::observeActivation(ActivationHandler handler) {
    const std::uint64_t id = m_nextToken++;
    m_activationObservers.emplace(id, std::move(handler));
    return Subscription([this, id] { m_activationObservers.erase(id); });
}

Subscription WaylandWorkspaceServices::observeApplicationGone(qint32 pid,
                                                              std::function<void()> handler) {
    // The process's exit is seen; its last Wayland window closing is not.
    return m_processes.observeApplicationGone(pid, std::move(handler));
}

bool WaylandWorkspaceServices::activateApplication(qint32) {
    return false;
}

bool WaylandWorkspaceServices::openAccessibilitySettings() {
    return m_processes.openAccessibilitySettings();
}

} // namespace ovra::platform
