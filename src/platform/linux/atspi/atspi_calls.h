#pragma once

#include <atspi/atspi.h>

#include "platform/accessibility_services.h"

#include <QRectF>
#include <QString>
#include <memory>

// What every libatspi call needs around it: references that are released at the end of a scope,
// errors read as the statuses the callers know, and the few plain reads every part makes.
namespace ovra::platform {

// Frees one libatspi interface or object reference at the end of a scope.
struct GObjectRelease {
    void operator()(void* object) const {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using GRef = std::unique_ptr<T, GObjectRelease>;

// A reference of its own to `object`.
template <typename T> GRef<T> retained(T* object) {
    return GRef<T>(static_cast<T*>(g_object_ref(object)));
}

// Collects the error of one libatspi call and says what it means for the caller. A time-out is
// noted for takeCallTimedOut() when the error is let go.
class CallError {
public:
    CallError() = default;
    ~CallError() { clear(); }
    CallError(const CallError&) = delete;
    CallError& operator=(const CallError&) = delete;

    GError** out() {
        clear();
        return &m_error;
    }
    bool failed() const { return m_error != nullptr; }
    AccessStatus status() const;

private:
    void clear();

    GError* m_error = nullptr;
};

// True once after a call of this thread ran into libatspi's per-call time-out; reading clears it.
bool takeCallTimedOut();

// The text of a string libatspi hands over, which is freed.
QString takeString(gchar* owned);
QRectF rectOf(const AtspiRect* rect);
bool hasState(AtspiAccessible* accessible, AtspiStateType state);
bool hasTextInterface(AtspiAccessible* accessible);
// The process that owns `accessible`, as the bus (not the application) tells; 0 when unknown.
quint32 processOf(AtspiAccessible* accessible);
// This program's own windows are on the bus too, but a call to them would wait for an answer
// only this (blocked) thread can give, until the bus times out: they are never read.
bool isOwnProcess(AtspiAccessible* accessible);

} // namespace ovra::platform
