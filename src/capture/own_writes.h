#pragma once

#include "support/scheduler.h"

#include <QtGlobal>
#include <chrono>
#include <map>

namespace ovra {

// The applications this program is writing into. An application answers a write (an
// accessibility write or a paste) with reports of its changed selection; where those reports
// stand for the user's gestures (Wayland), they must not be taken for the user clearing the
// selection, which would close the panel on its own "Substituído ✓". A write counts from its
// start to echoWindow after its end, as the reports may come late. Main thread only.
class OwnWrites {
public:
    static constexpr std::chrono::milliseconds echoWindow{500};

    explicit OwnWrites(Scheduler& scheduler) : m_scheduler(scheduler) {}

    // A write into `pid` under way for as long as it lives.
    class Write {
    public:
        Write(OwnWrites& writes, qint32 pid) : m_writes(&writes), m_pid(pid) {
            ++m_writes->m_running[pid];
        }
        ~Write() {
            if (m_writes)
                m_writes->ended(m_pid);
        }
        Write(Write&& other) noexcept : m_writes(other.m_writes), m_pid(other.m_pid) {
            other.m_writes = nullptr;
        }
        Write(const Write&) = delete;
        Write& operator=(const Write&) = delete;
        Write& operator=(Write&&) = delete;

    private:
        OwnWrites* m_writes;
        qint32 m_pid;
    };

    Write begin(qint32 pid) { return Write(*this, pid); }
    // A report from `pid` now is this program's own write, not the user's gesture.
    bool explains(qint32 pid) const;

private:
    void ended(qint32 pid);

    Scheduler& m_scheduler;
    std::map<qint32, int> m_running;        // writes under way, by application
    std::map<qint32, Duration> m_echoUntil; // the last write's echo, by application
};

} // namespace ovra
