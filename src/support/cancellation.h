#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>

namespace ovra {

namespace detail {
struct CancellationState {
    bool cancelled = false;
    std::uint64_t nextId = 1;
    std::map<std::uint64_t, std::function<void()>> callbacks;
};
} // namespace detail

// A cheap, copyable view of a cancellation request. A default token is never cancelled.
// Main thread only, like everything that awaits.
class CancelToken {
public:
    CancelToken() = default;

    bool isCancelled() const { return m_state && m_state->cancelled; }
    // Throws CancelledError when cancellation was requested.
    void throwIfCancelled() const;

    // Calls `callback` when cancellation is requested (at once when it already was). The
    // subscription ends when the returned object is destroyed.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&& other) noexcept { *this = std::move(other); }
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription() { reset(); }
        void reset();

    private:
        friend class CancelToken;
        std::weak_ptr<detail::CancellationState> m_state;
        std::uint64_t m_id = 0;
    };
    [[nodiscard]] Subscription onCancel(std::function<void()> callback) const;

private:
    friend class CancelSource;
    explicit CancelToken(std::shared_ptr<detail::CancellationState> state)
        : m_state(std::move(state)) {}
    std::shared_ptr<detail::CancellationState> m_state;
};

// The side that requests cancellation. Callbacks run synchronously inside cancel(), once.
class CancelSource {
public:
    CancelSource() : m_state(std::make_shared<detail::CancellationState>()) {}

    CancelToken token() const { return CancelToken(m_state); }
    void cancel();
    bool isCancelled() const { return m_state->cancelled; }

private:
    std::shared_ptr<detail::CancellationState> m_state;
};

// Whether `error` is a CancelledError: work given up, not a failure to report. False for none.
bool isCancellation(const std::exception_ptr& error);

} // namespace ovra
