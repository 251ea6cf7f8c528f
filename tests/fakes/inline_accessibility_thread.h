#pragma once

#include "capture/accessibility_thread.h"
#include "support/scheduler.h"

#include <deque>
#include <utility>

namespace ovra::test {

// The accessibility thread for tests: a job runs at once on the calling thread, over the given
// (fake) services; its completion comes on the scheduler's next turn, as it would from another
// thread. With `holding` set, jobs wait until release(), like an application that does not answer.
class InlineAccessibilityThread final : public AccessibilityThread {
public:
    InlineAccessibilityThread(AccessibilityServices& services, Scheduler& scheduler)
        : m_worker(services), m_scheduler(scheduler) {}

    bool holding = false;

    void post(Job job, std::function<void()> done) override {
        m_waiting.emplace_back(std::move(job), std::move(done));
        if (!holding)
            release();
    }

    // Runs every job that waits, in order.
    void release() {
        while (!m_waiting.empty()) {
            auto [job, done] = std::move(m_waiting.front());
            m_waiting.pop_front();
            job(m_worker);
            m_scheduler.schedule(Duration::zero(), std::move(done));
        }
    }

private:
    AccessibilityWorker m_worker;
    Scheduler& m_scheduler;
    std::deque<std::pair<Job, std::function<void()>>> m_waiting;
};

} // namespace ovra::test
