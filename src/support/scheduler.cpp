#include "support/scheduler.h"

#include <QPointer>
#include <utility>

namespace ovra {

Scheduler::WorkId Scheduler::schedule(Duration delay, const QObject* context,
                                      std::function<void()> work) {
    return schedule(delay, [context = QPointer<const QObject>(context), work = std::move(work)] {
        if (context)
            work();
    });
}

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
