#include "capture/clipboard_lease.h"

#include "support/errors.h"
#include "support/sleep.h"

namespace ovra {

ClipboardLease::Hold& ClipboardLease::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        release();
        m_lease = std::exchange(other.m_lease, nullptr);
    }
    return *this;
}

void ClipboardLease::Hold::release() {
    if (ClipboardLease* lease = std::exchange(m_lease, nullptr))
        lease->release();
}

std::optional<ClipboardLease::Hold> ClipboardLease::tryTake() {
    if (m_held)
        return std::nullopt;
    m_held = true;
    return Hold(this);
}

QCoro::Task<std::optional<ClipboardLease::Hold>> ClipboardLease::take(Duration deadline) {
    const Duration until = m_scheduler.now() + deadline;
    while (m_held) {
        const Duration left = until - m_scheduler.now();
        if (left <= Duration::zero())
            co_return std::nullopt;
        try {
            co_await sleepFor(m_scheduler, left, m_released.token());
        } catch (const CancelledError&) {
            // Given back: look again (another borrower may have taken it first).
        }
    }
    co_return tryTake();
}

void ClipboardLease::release() {
    m_held = false;
    // The waiters resume on a turn of their own, not inside the holder's restore.
    m_scheduler.schedule(
        Duration::zero(),
        [released = std::exchange(m_released, CancelSource())]() mutable { released.cancel(); });
}

} // namespace ovra
