#include "fakes/fake_workspace.h"

#include <vector>

namespace ovra::test {

RunningApplication FakeWorkspace::launch(RunningApplication app) {
    running.removeIf([&](const RunningApplication& other) { return other.pid == app.pid; });
    running.append(app);
    return app;
}

void FakeWorkspace::activate(const RunningApplication& app) {
    frontmost = app;
    std::vector<ActivationHandler> handlers;
    for (const auto& [id, handler] : m_observers)
        handlers.push_back(handler);
    for (const auto& handler : handlers)
        handler(app);
}

std::optional<RunningApplication> FakeWorkspace::runningApplication(qint32 pid) {
    for (const RunningApplication& app : std::as_const(running))
        if (app.pid == pid)
            return app;
    return std::nullopt;
}

Subscription FakeWorkspace::observeActivation(ActivationHandler handler) {
    const std::uint64_t id = m_nextId++;
    m_observers.emplace(id, std::move(handler));
    return Subscription([this, id] { m_observers.erase(id); });
}

// Without a window named, the one already active stays.
bool FakeWorkspace::request(qint32 pid, std::optional<WindowId> id) {
    const auto app = runningApplication(pid);
    if (!app)
        return false;
    activationRequests.append(pid);
    if (activatesOnRequest) {
        frontmost = app; // a window of the active application: no switch to report
        window = id ? id : window;
    }
    return true;
}

Subscription FakeWorkspace::observeApplicationGone(qint32 pid, std::function<void()> handler) {
    const std::uint64_t id = m_nextId++;
    m_goneWatchers.emplace(id, std::pair{pid, std::move(handler)});
    return Subscription([this, id] { m_goneWatchers.erase(id); });
}

void FakeWorkspace::terminate(qint32 pid) {
    running.removeIf([&](const RunningApplication& app) { return app.pid == pid; });
    if (frontmost && frontmost->pid == pid)
        frontmost.reset();
    std::vector<std::function<void()>> handlers;
    for (auto it = m_goneWatchers.begin(); it != m_goneWatchers.end();) {
        if (it->second.first == pid) {
            handlers.push_back(std::move(it->second.second));
            it = m_goneWatchers.erase(it);
        } else {
            ++it;
        }
    }
    for (const auto& handler : handlers)
        handler();
}

} // namespace ovra::test
