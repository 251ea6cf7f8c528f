#include "capture/own_writes.h"

namespace ovra {

bool OwnWrites::explains(qint32 pid) const {
    if (m_running.count(pid))
        return true;
    const auto echo = m_echoUntil.find(pid);
    return echo != m_echoUntil.end() && m_scheduler.now() < echo->second;
}

void OwnWrites::ended(qint32 pid) {
    if (--m_running[pid] == 0)
        m_running.erase(pid);
    m_echoUntil[pid] = m_scheduler.now() + echoWindow;
}

} // namespace ovra
