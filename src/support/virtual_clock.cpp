#include "support/virtual_clock.h"

#include <algorithm>

namespace ovra {

Scheduler::WorkId VirtualClock::schedule(Duration delay, std::function<void()> work) {
    const WorkId id = m_nextId++;
    m_queue.emplace(Key{m_now + std::max(delay, Duration::zero()), id}, std::move(work));
    return id;
}

void VirtualClock::cancel(WorkId id) {
    std::erase_if(m_queue, [id](const auto& entry) { return entry.first.second == id; });
}

void VirtualClock::advance(Duration step) {
    const Duration target = m_now + step;
    while (!m_queue.empty() && m_queue.begin()->first.first <= target) {
        auto node = m_queue.extract(m_queue.begin());
        m_now = node.key().first;
        node.mapped()();
    }
    m_now = target;
}

bool VirtualClock::runNext() {
    if (m_queue.empty())
        return false;
    auto node = m_queue.extract(m_queue.begin());
    m_now = node.key().first;
    node.mapped()();
    return true;
}

} // namespace ovra
