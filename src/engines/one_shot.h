#pragma once

#include <QtGlobal> // first: moc cannot read <coroutine> before a Qt header
#include <coroutine>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

namespace ovra {

// A completion that one coroutine awaits and someone else resolves exactly once, with a value or
// an exception. Resolving again does nothing. Shared by pointer: the resolver keeps it alive.
template <typename T> class OneShot : public std::enable_shared_from_this<OneShot<T>> {
public:
    static std::shared_ptr<OneShot> make() { return std::shared_ptr<OneShot>(new OneShot()); }

    void resolve(T value) {
        if (m_resolved)
            return;
        m_value = std::move(value);
        finish();
    }
    void fail(std::exception_ptr error) {
        if (m_resolved)
            return;
        m_error = std::move(error);
        finish();
    }

    struct Awaiter {
        std::shared_ptr<OneShot> state;
        bool await_ready() const noexcept { return state->m_resolved; }
        void await_suspend(std::coroutine_handle<> handle) { state->m_waiter = handle; }
        T await_resume() {
            if (state->m_error)
                std::rethrow_exception(state->m_error);
            return std::move(*state->m_value);
        }
    };
    Awaiter wait() { return Awaiter{this->shared_from_this()}; }

private:
    OneShot() = default;
    void finish() {
        m_resolved = true;
        // Keep this alive while the waiter runs: it may drop the last other reference.
        auto self = this->shared_from_this();
        if (auto waiter = std::exchange(m_waiter, {}))
            waiter.resume();
    }

    bool m_resolved = false;
    std::optional<T> m_value;
    std::exception_ptr m_error;
    std::coroutine_handle<> m_waiter;
};

} // namespace ovra
