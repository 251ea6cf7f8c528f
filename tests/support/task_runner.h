#pragma once

#include <QEventLoop>
#include <QTimer>
#include <exception>
#include <optional>
#include <qcoro/qcorotask.h>
#include <stdexcept>
#include <type_traits>
#include <variant>

namespace ovra::test {

namespace detail {
template <typename T> struct Outcome {
    std::optional<std::conditional_t<std::is_void_v<T>, std::monostate, T>> value;
    std::exception_ptr error;
    bool done = false;
};

template <typename T>
QCoro::Task<void> drive(QCoro::Task<T> task, Outcome<T>& outcome, QEventLoop& loop) {
    try {
        if constexpr (std::is_void_v<T>)
            co_await std::move(task);
        else
            outcome.value.emplace(co_await std::move(task));
    } catch (...) {
        outcome.error = std::current_exception();
    }
    outcome.done = true;
    loop.quit();
}
} // namespace detail

// Runs the event loop until `task` ends, then gives its result or rethrows its failure. Unlike
// QCoro::waitFor (which never returns when the awaited task throws), failures come back here. A
// task still running after `limitMs` of real time fails the test run instead of hanging it.
template <typename T> T runToEnd(QCoro::Task<T>&& task, int limitMs = 20000) {
    QEventLoop loop;
    detail::Outcome<T> outcome;
    auto driver = detail::drive(std::move(task), outcome, loop);
    if (!outcome.done) {
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!outcome.done)
        throw std::runtime_error("task did not end in time");
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*outcome.value);
}

// Runs `task` to its end and returns the failure of type E it ended with.
template <typename E, typename T> E failureOf(QCoro::Task<T>&& task) {
    try {
        runToEnd(std::move(task));
    } catch (const E& error) {
        return error;
    }
    throw std::logic_error("the task did not fail as expected");
}

} // namespace ovra::test
