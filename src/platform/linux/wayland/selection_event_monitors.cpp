#include "platform/linux/wayland/selection_event_monitors.h"

#include <vector>

namespace ovra::platform {

void SelectionEventMonitors::selectionChanged(qint32 pid) {
    dispatch(InputEventType::SelectionChanged, pid);
}

void SelectionEventMonitors::selectionSettled(qint32 pid) {
    dispatch(InputEventType::SelectionSettled, pid);
}

void SelectionEventMonitors::dispatch(InputEventType type, qint32 pid) {
    InputEvent event;
    event.type = type;
    event.pid = pid;
    std::vector<std::uint64_t> tokens;
    for (const auto& [token, monitor] : m_handlers) {
        if (monitor.types.testFlag(type))
            tokens.push_back(token);
    }
    for (const std::uint64_t token : tokens) {
        // A handler may remove monitors; those removed are not called any more.
        const auto it = m_handlers.find(token);
        if (it != m_handlers.end())
            it->second.handler(event);
    }
}

Subscription SelectionEventMonitors::addGlobalMonitor(InputEventTypes types, Handler handler) {
    types &= watchable;
    if (!types)
        return {};
    const std::uint64_t id = m_nextToken++;
    m_handlers.emplace(id, Monitor{types, std::move(handler)});
    return Subscription([this, id] { m_handlers.erase(id); });
}

Subscription SelectionEventMonitors::addLocalMonitor(InputEventTypes types, Handler handler) {
    return m_local.addLocalMonitor(types, std::move(handler));
}

} // namespace ovra::platform
