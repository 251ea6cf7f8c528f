#pragma once

#include "platform/input_monitors.h"

#include <cstdint>
#include <map>

namespace ovra::platform {

// The input a Wayland session lets this program see: no other application's mouse or keys, only
// the selection changes applications report on the accessibility bus (selectionChanged), passed
// on as SelectionChanged events, and where the desktop tells it, the end of the gesture behind
// them (selectionSettled, as SelectionSettled). Events in this program's own windows come from
// `local`. Main thread only.
class SelectionEventMonitors final : public InputMonitors {
public:
    explicit SelectionEventMonitors(InputMonitors& local) : m_local(local) {}

    // Application `pid` reported a change of its selection.
    void selectionChanged(qint32 pid);
    // The gesture behind application `pid`'s last reported change has ended.
    void selectionSettled(qint32 pid);

    // Only SelectionChanged and SelectionSettled can be watched; an empty subscription for any
    // other type alone.
    Subscription addGlobalMonitor(InputEventTypes types, Handler handler) override;
    Subscription addLocalMonitor(InputEventTypes types, Handler handler) override;

private:
    void dispatch(InputEventType type, qint32 pid);

    static constexpr InputEventTypes watchable =
        InputEventTypes(InputEventType::SelectionChanged) | InputEventType::SelectionSettled;
    struct Monitor {
        InputEventTypes types;
        Handler handler;
    };
    InputMonitors& m_local;
    std::map<std::uint64_t, Monitor> m_handlers;
    std::uint64_t m_nextToken = 1;
};

} // namespace ovra::platform
