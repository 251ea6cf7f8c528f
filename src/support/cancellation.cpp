#include "support/cancellation.h"

#include "support/errors.h"

namespace ovra {

void CancelToken::throwIfCancelled() const {
    if (isCancelled())
        throw CancelledError();
}

CancelToken::Subscription& CancelToken::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = other.m_id;
        other.m_id = 0;
    }
    return *this;
}

void CancelToken::Subscription::reset() {
    if (auto state = m_state.lock())
        state->callbacks.erase(m_id);
    m_state.reset();
    m_id = 0;
}

CancelToken::Subscription CancelToken::onCancel(std::function<void()> callback) const {
    Subscription subscription;
    if (!m_state)
        return subscription;
    if (m_state->cancelled) {
        callback();
        return subscription;
    }
    subscription.m_state = m_state;
    subscription.m_id = m_state->nextId++;
    m_state->callbacks.emplace(subscription.m_id, std::move(callback));
    return subscription;
}

void CancelSource::cancel() {
    if (m_state->cancelled)
        return;
    m_state->cancelled = true;
    // Keep the state alive and take the callbacks out first: a callback may end subscriptions.
    auto state = m_state;
    auto callbacks = std::move(state->callbacks);
    state->callbacks.clear();
    for (auto& [id, callback] : callbacks)
        callback();
}

bool isCancellation(const std::exception_ptr& error) {
    if (!error)
        return false;
    try {
        std::rethrow_exception(error);
    } catch (const CancelledError&) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace ovra
