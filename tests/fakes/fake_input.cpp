#include "fakes/fake_input.h"

#include <vector>

namespace ovra::test {

Subscription FakeInputMonitors::install(Monitors& into, InputEventTypes types, Handler handler) {
    if (refuseNextInstalls > 0) {
        --refuseNextInstalls;
        return {};
    }
    const std::uint64_t id = m_nextId++;
    into.emplace(id, Monitor{types, std::move(handler)});
    return Subscription([&into, id] { into.erase(id); });
}

Subscription FakeInputMonitors::addGlobalMonitor(InputEventTypes types, Handler handler) {
    return install(m_global, types, std::move(handler));
}

Subscription FakeInputMonitors::addLocalMonitor(InputEventTypes types, Handler handler) {
    return install(m_local, types, std::move(handler));
}

void FakeInputMonitors::deliver(const Monitors& monitors, const InputEvent& event) {
    // Copy first: a handler may remove monitors while the event is delivered.
    std::vector<Handler> handlers;
    for (const auto& [id, monitor] : monitors)
        if (monitor.types.testFlag(event.type))
            handlers.push_back(monitor.handler);
    for (const Handler& handler : handlers)
        handler(event);
}

bool FakeSyntheticKeys::postCopyCommand(qint32 pid) {
    if (!takesKeys)
        return false;
    copiesPosted.append(pid);
    if (onCopy)
        onCopy(pid);
    return true;
}

} // namespace ovra::test
