#pragma once

#include "support/cancellation.h"
#include "support/scheduler.h"

#include <optional>
#include <qcoro/qcorotask.h>
#include <utility>

namespace ovra {

// The right to borrow the desktop clipboard: whoever takes the user's clipboard for a moment (the
// copy capture, the paste of a replacement) holds it from the backup to the restore. Two borrows
// at once would have the second back up the first one's temporary contents and put those back
// last: the user's clipboard would be lost. One per process, shared by every borrower. Main
// thread only; must outlive every hold and every wait.
class ClipboardLease {
public:
    // Held while it lives; moving passes it on. Released when the last owner goes.
    class Hold {
    public:
        Hold(Hold&& other) noexcept : m_lease(std::exchange(other.m_lease, nullptr)) {}
        Hold& operator=(Hold&& other) noexcept;
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() { release(); }

    private:
        friend class ClipboardLease;
        explicit Hold(ClipboardLease* lease) : m_lease(lease) {}
        void release();
        ClipboardLease* m_lease = nullptr;
    };

    explicit ClipboardLease(Scheduler& scheduler) : m_scheduler(scheduler) {}
    ClipboardLease(const ClipboardLease&) = delete;
    ClipboardLease& operator=(const ClipboardLease&) = delete;

    bool isHeld() const { return m_held; }
    // The lease when it is free now; nothing while someone else holds it.
    std::optional<Hold> tryTake();
    // The lease once it is free, waiting up to `deadline` for the holder to give it back; nothing
    // when it is still held by then.
    QCoro::Task<std::optional<Hold>> take(Duration deadline);

private:
    void release();

    Scheduler& m_scheduler;
    bool m_held = false;
    // Cancelled (on the next turn of the loop) when the lease is given back: wakes the waiters.
    CancelSource m_released;
};

} // namespace ovra
