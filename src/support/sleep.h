#pragma once

#include "support/cancellation.h"
#include "support/scheduler.h"

#include <coroutine>
#include <memory>

namespace ovra {

// `co_await sleepFor(scheduler, 120ms, token)` suspends the coroutine on the scheduler and resumes
// it when the time has passed. When the token is cancelled first, the coroutine resumes at once
// with CancelledError.
class SleepAwaiter {
public:
    SleepAwaiter(Scheduler& scheduler, Duration delay, CancelToken token)
        : m_scheduler(scheduler), m_delay(delay), m_token(std::move(token)),
          m_state(std::make_shared<State>()) {}

    bool await_ready() {
        // A token cancelled already ends the wait before it starts.
        m_state->cancelled = m_token.isCancelled();
        return m_state->cancelled;
    }
    void await_suspend(std::coroutine_handle<> handle);
    void await_resume();

private:
    struct State {
        std::coroutine_handle<> handle;
        Scheduler::WorkId work = 0;
        bool resumed = false;
        bool cancelled = false;
        CancelToken::Subscription subscription;
    };

    Scheduler& m_scheduler;
    Duration m_delay;
    CancelToken m_token;
    std::shared_ptr<State> m_state;
};

inline SleepAwaiter sleepFor(Scheduler& scheduler, Duration delay, CancelToken token = {}) {
    return SleepAwaiter(scheduler, delay, std::move(token));
}

} // namespace ovra
