#pragma once

#include "capture/accessibility_bridge.h"
#include "capture/bounded_accessibility.h"
#include "capture/capture_context.h"

#include <functional>

namespace ovra {

// The objects that live on the accessibility thread: the platform's services behind a budget,
// the desktop values of the current request and the bridge over both. Used by one thread only.
class AccessibilityWorker {
public:
    explicit AccessibilityWorker(
        AccessibilityServices& services,
        BoundedAccessibility::Clock clock = &std::chrono::steady_clock::now)
        : m_bounded(services, std::move(clock)) {}

    BoundedAccessibility& accessibility() { return m_bounded; }
    CaptureContext& context() { return m_context; }
    AccessibilityBridge& bridge() { return m_bridge; }

private:
    BoundedAccessibility m_bounded;
    CaptureContext m_context;
    AccessibilityBridge m_bridge{m_bounded, m_context};
};

// Runs accessibility work away from the UI thread, one job at a time in the order posted
// (the platform's accessibility library is not thread-safe and is confined to that thread).
class AccessibilityThread {
public:
    using Job = std::function<void(AccessibilityWorker&)>;

    virtual ~AccessibilityThread() = default;
    // Runs `job` on the accessibility thread, then `done` on the thread that posted, from its
    // event loop (never inline). `done` is dropped when the thread is shut down first.
    virtual void post(Job job, std::function<void()> done) = 0;
};

} // namespace ovra
