#pragma once

#include <functional>
#include <utility>

namespace ovra {

// One installed event monitor or notification observer. The callback stays installed while the
// subscription lives and goes when it is dropped or reset; an empty subscription means the
// platform refused to install it. A subscription must not outlive the service that made it.
class [[nodiscard]] Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> remove) : m_remove(std::move(remove)) {}
    ~Subscription() { reset(); }
    Subscription(Subscription&& other) noexcept : m_remove(std::exchange(other.m_remove, {})) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            reset();
            m_remove = std::exchange(other.m_remove, {});
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    explicit operator bool() const { return static_cast<bool>(m_remove); }
    // Removes the callback now.
    void reset() {
        if (const std::function<void()> remove = std::exchange(m_remove, {}))
            remove();
    }

private:
    std::function<void()> m_remove;
};

} // namespace ovra
