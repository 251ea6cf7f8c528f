#pragma once

#include "platform/workspace_services.h"

#include <QList>
#include <map>

namespace ovra::test {

// Running applications, a frontmost one, and activation notifications a test triggers.
class FakeWorkspace final : public WorkspaceServices {
public:
    QList<RunningApplication> running;
    std::optional<RunningApplication> frontmost;
    std::optional<WindowId> window; // the active window, when the test names one
    int settingsOpened = 0;
    QList<qint32> activationRequests;
    bool activatesOnRequest = true; // a request makes that running application frontmost

    // Adds `app` to the running ones (replacing one with the same pid) and returns it.
    RunningApplication launch(RunningApplication app);
    // Makes `app` frontmost and tells the observers.
    void activate(const RunningApplication& app);
    // Ends process `pid`: its watchers are told once and dropped.
    void terminate(qint32 pid);
    std::size_t observerCount() const { return m_observers.size(); }
    std::size_t goneWatcherCount() const { return m_goneWatchers.size(); }

    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    std::optional<WindowId> frontmostWindow() override { return window; }
    std::optional<RunningApplication> runningApplication(qint32 pid) override;
    Subscription observeActivation(ActivationHandler handler) override;
    Subscription observeApplicationGone(qint32 pid, std::function<void()> handler) override;
    bool activateApplication(qint32 pid) override { return request(pid, std::nullopt); }
    // Makes `window` of `pid` active when activatesOnRequest (the request is recorded either way).
    bool activateWindow(qint32 pid, WindowId window) override { return request(pid, window); }
    bool openAccessibilitySettings() override { return ++settingsOpened > 0; }

private:
    bool request(qint32 pid, std::optional<WindowId> window);
    std::map<std::uint64_t, ActivationHandler> m_observers;
    std::map<std::uint64_t, std::pair<qint32, std::function<void()>>> m_goneWatchers;
    std::uint64_t m_nextId = 1;
};

} // namespace ovra::test
