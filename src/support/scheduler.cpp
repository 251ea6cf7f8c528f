#include "support/scheduler.h"

#include <utility>

namespace ovra {

void ScheduledWork::schedule(Duration delay, std::function<void()> work) {
    cancel();
    m_pending = true;
    m_id = m_scheduler->schedule(delay, [this, work = std::move(work)] {
        m_pending = false;
        work();
    });
}

void ScheduledWork::cancel() {
    if (m_pending) {
        m_scheduler->cancel(m_id);
        m_pending = false;
    }
}

} // namespace ovra
