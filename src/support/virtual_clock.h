#pragma once

#include "support/scheduler.h"

#include <map>
#include <utility>

namespace ovra {

// A scheduler whose time moves only when a test says so. Due work runs in order of due time,
// ties in the order it was scheduled; work scheduled while time moves runs too when it falls due.
class VirtualClock final : public Scheduler {
public:
    using Scheduler::schedule;
    WorkId schedule(Duration delay, std::function<void()> work) override;
    void cancel(WorkId id) override;
    Duration now() const override { return m_now; }

    // Moves time forward by `step`, running everything that falls due on the way.
    void advance(Duration step);
    // Runs work that is due now (delay zero) without moving time.
    void runDue() { advance(Duration::zero()); }
    // Moves to the next pending work and runs it; false when nothing is pending.
    bool runNext();

    std::size_t pendingCount() const { return m_queue.size(); }
    bool hasPending() const { return !m_queue.empty(); }

private:
    using Key = std::pair<Duration, WorkId>; // due time, then scheduling order
    std::map<Key, std::function<void()>> m_queue;
    Duration m_now{0};
    WorkId m_nextId = 1;
};

} // namespace ovra
