#pragma once

#include "platform/input_monitors.h"

#include <cstdint>
#include <map>

namespace ovra::platform {

// The input a Wayland session lets this program see: no other application's mouse or keys, only
// the selection changes applications report on the accessibility bus (selectionChanged), passed
// on as SelectionChanged events. Events in this program's own windows come from `local`.
// Main thread only.
class SelectionEventMonitors final : public InputMonitors {
public:
    explicit SelectionEventMonitors(InputMonitors& local) : m_local(local) {}

    // Application `pid` reported a change of its selection.
    void selectionChanged(qint32 pid);

    // Only SelectionChanged can be watched; a null token for any other type alone.
    ObserverToken addGlobalMonitor(InputEventTypes types, Handler handler) override;
    ObserverToken addLocalMonitor(InputEventTypes types, Handler handler) override;
    void removeMonitor(ObserverToken token) override;

private:
    static constexpr std::uint64_t firstToken = std::uint64_t(1) << 62;

    InputMonitors& m_local;
    std::map<std::uint64_t, Handler> m_handlers;
    std::uint64_t m_nextToken = firstToken;
};

} // namespace ovra::platform
