#pragma once

#include <QObject>
#include <QPointer>
#include <QtGlobal>
#include <utility>

namespace ovra {

// What a coroutine or a callback that outlives a call holds of the object it works for: the
// object, weakly, and optionally that object's work generation when the work began. After each
// co_await the work goes on only while the object is there (isAlive) and, given a generation,
// has not moved on to newer work (isCurrent). Main thread only.
class WorkOwner {
public:
    explicit WorkOwner(const QObject* owner) : m_owner(owner) {}
    // `generation` lives in `owner`; it is read only while the owner is alive.
    WorkOwner(const QObject* owner, const quint64& generation)
        : m_owner(owner), m_generation(&generation), m_started(generation) {}

    bool isAlive() const { return !m_owner.isNull(); }
    bool isCurrent() const { return isAlive() && (!m_generation || *m_generation == m_started); }
    explicit operator bool() const { return isCurrent(); }

private:
    QPointer<const QObject> m_owner;
    const quint64* m_generation = nullptr;
    quint64 m_started = 0;
};

// `callback`, made to do nothing once `owner` is gone: for callbacks handed to services that
// know nothing of Qt objects (the shape QObject::connect gives a context object).
template <typename Callback> auto whileAlive(const QObject* owner, Callback callback) {
    return [owner = QPointer<const QObject>(owner),
            callback = std::move(callback)](auto&&... arguments) {
        if (owner)
            callback(std::forward<decltype(arguments)>(arguments)...);
    };
}

} // namespace ovra
