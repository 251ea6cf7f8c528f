#pragma once

#include "platform/workspace_services.h"

#include <optional>

namespace ovra {

// What the UI thread knows about the desktop at the moment a capture is asked for (the frontmost
// application), handed to the accessibility thread with the request: the capture there reads it
// instead of the window system, which belongs to the UI thread.
class CaptureContext final : public WorkspaceServices {
public:
    void set(std::optional<RunningApplication> frontmost) { m_frontmost = std::move(frontmost); }

    std::optional<RunningApplication> frontmostApplication() override { return m_frontmost; }
    // Other processes are known by their id only; the UI thread adds their names afterwards.
    std::optional<RunningApplication> runningApplication(qint32 pid) override {
        if (m_frontmost && m_frontmost->pid == pid)
            return m_frontmost;
        return RunningApplication{pid, {}, {}};
    }
    std::optional<WindowId> frontmostWindow() override { return std::nullopt; }
    Subscription observeActivation(ActivationHandler) override { return {}; }
    Subscription observeApplicationGone(qint32, std::function<void()>) override { return {}; }
    bool activateApplication(qint32) override { return false; }
    bool activateWindow(qint32, WindowId) override { return false; }
    bool openAccessibilitySettings() override { return false; }

private:
    std::optional<RunningApplication> m_frontmost;
};

} // namespace ovra
