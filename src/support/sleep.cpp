#include "support/sleep.h"

#include "support/errors.h"

namespace ovra {

void SleepAwaiter::await_suspend(std::coroutine_handle<> handle) {
    auto state = m_state;
    state->handle = handle;
    state->work = m_scheduler.schedule(m_delay, [state] {
        if (state->resumed)
            return;
        state->resumed = true;
        state->subscription.reset();
        state->handle.resume();
    });
    // Registered after scheduling so a token cancelled already also drops the scheduled work.
    state->subscription = m_token.onCancel([state, scheduler = &m_scheduler] {
        if (state->resumed)
            return;
        state->resumed = true;
        state->cancelled = true;
        scheduler->cancel(state->work);
        state->handle.resume();
    });
}

void SleepAwaiter::await_resume() {
    if (m_state->cancelled)
        throw CancelledError();
}

} // namespace ovra
