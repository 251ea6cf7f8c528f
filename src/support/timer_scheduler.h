#pragma once

#include "support/scheduler.h"

#include <QElapsedTimer>
#include <QObject>
#include <unordered_map>

class QTimer;

namespace ovra {

// The real scheduler: single-shot QTimers on the thread that owns it (the main thread).
class TimerScheduler final : public Scheduler {
public:
    TimerScheduler();
    ~TimerScheduler() override;

    using Scheduler::schedule;
    WorkId schedule(Duration delay, std::function<void()> work) override;
    void cancel(WorkId id) override;
    Duration now() const override;

private:
    QObject m_context;
    QElapsedTimer m_elapsed;
    std::unordered_map<WorkId, QTimer*> m_timers;
    WorkId m_nextId = 1;
};

} // namespace ovra
