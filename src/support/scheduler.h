#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

class QObject;

namespace ovra {

using Duration = std::chrono::milliseconds;

// Runs delayed work on the main thread. Production code uses TimerScheduler; tests use
// VirtualClock and move time by hand. A scheduler must outlive everything that uses it.
class Scheduler {
public:
    using WorkId = std::uint64_t;

    virtual ~Scheduler() = default;

    // Runs `work` once, `delay` from now (zero: at the next turn of the loop). Never runs it
    // inline.
    virtual WorkId schedule(Duration delay, std::function<void()> work) = 0;
    // The same, skipped when `context` is gone by then: the shape of
    // QTimer::singleShot(delay, context, work), for work that touches its owner.
    WorkId schedule(Duration delay, const QObject* context, std::function<void()> work);
    // Drops work that has not run yet; unknown or finished ids are ignored.
    virtual void cancel(WorkId id) = 0;
    // Monotonic time since the scheduler was created.
    virtual Duration now() const = 0;
};

// One piece of delayed work owned by an object: rescheduling replaces the pending work, and the
// pending work is cancelled when the owner (and so this member) is destroyed, so the work may
// use its owner freely.
class ScheduledWork {
public:
    explicit ScheduledWork(Scheduler& scheduler) : m_scheduler(&scheduler) {}
    ~ScheduledWork() { cancel(); }
    ScheduledWork(const ScheduledWork&) = delete;
    ScheduledWork& operator=(const ScheduledWork&) = delete;

    void schedule(Duration delay, std::function<void()> work);
    void cancel();
    bool isPending() const { return m_pending; }

private:
    Scheduler* m_scheduler;
    Scheduler::WorkId m_id = 0;
    bool m_pending = false;
};

} // namespace ovra
