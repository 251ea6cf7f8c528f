#pragma once

#include "capture/workspace_services.h"

#include <QList>
#include <map>

namespace ovra::test {

// Running applications, a frontmost one, and activation notifications a test triggers.
class FakeWorkspace final : public WorkspaceServices {
public:
    QList<RunningApplication> running;
    std::optional<RunningApplication> frontmost;
    bool hasAccessibilitySettings = true;
    int settingsOpened = 0;
    QList<qint32> activationRequests;
    bool activatesOnRequest = true; // a request makes that running application frontmost

    // Adds `app` to the running ones (replacing one with the same pid) and returns it.
    RunningApplication launch(RunningApplication app);
    // Makes `app` frontmost and tells the observers.
    void activate(const RunningApplication& app);
    std::size_t observerCount() const { return m_observers.size(); }

    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    std::optional<RunningApplication> runningApplication(qint32 pid) override;
    ObserverToken observeActivation(ActivationHandler handler) override;
    void removeObserver(ObserverToken token) override { m_observers.erase(token.id); }
    bool activateApplication(qint32 pid) override;
    bool openAccessibilitySettings() override;

private:
    std::map<std::uint64_t, ActivationHandler> m_observers;
    std::uint64_t m_nextId = 1;
};

} // namespace ovra::test
