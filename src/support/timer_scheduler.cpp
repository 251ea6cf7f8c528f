#include "support/timer_scheduler.h"

#include <QTimer>
#include <utility>

namespace ovra {

TimerScheduler::TimerScheduler() {
    m_elapsed.start();
}

TimerScheduler::~TimerScheduler() = default; // the timers are children of m_context

Scheduler::WorkId TimerScheduler::schedule(Duration delay, std::function<void()> work) {
    const WorkId id = m_nextId++;
    auto* timer = new QTimer(&m_context);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer, &QTimer::timeout, &m_context,
                     [this, id, timer, work = std::move(work)] {
                         m_timers.erase(id);
                         timer->deleteLater();
                         work();
                     });
    m_timers.emplace(id, timer);
    timer->start(delay);
    return id;
}

void TimerScheduler::cancel(WorkId id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    it->second->stop();
    it->second->deleteLater();
    m_timers.erase(it);
}

Duration TimerScheduler::now() const {
    return Duration(m_elapsed.elapsed());
}

} // namespace ovra
