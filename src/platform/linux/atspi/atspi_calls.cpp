#include "platform/linux/atspi/atspi_calls.h"

#include "support/logging.h"

#include <cstring>
#include <unistd.h>
#include <utility>

OVRA_LOGGING_CATEGORY("ovra.platform.atspi");

namespace ovra::platform {

namespace {

// Set when a call of this thread ran into libatspi's per-call time-out.
thread_local bool callTimedOut = false;

bool isTimeout(const GError* error) {
    const char* message = error && error->message ? error->message : "";
    return std::strstr(message, "NoReply") || std::strstr(message, "Did not receive a reply") ||
           std::strstr(message, "imeout") || std::strstr(message, "timed out");
}

} // namespace

AccessStatus CallError::status() const {
    if (!m_error)
        return AccessStatus::Success;
    if (isTimeout(m_error))
        return AccessStatus::TimedOut;
    // The application answers with UnknownObject (or the bus with ServiceUnknown) once the
    // element or its application is gone.
    const char* message = m_error->message ? m_error->message : "";
    if (std::strstr(message, "UnknownObject") || std::strstr(message, "ServiceUnknown") ||
        std::strstr(message, "does not exist")) {
        return AccessStatus::InvalidElement;
    }
    return AccessStatus::Failure;
}

void CallError::clear() {
    // Only the kind of error is told: an application's error text may quote what it holds. An
    // element or application that went away is the bus's normal churn.
    switch (status()) {
    case AccessStatus::TimedOut:
        callTimedOut = true;
        qCWarning(lc) << "an application did not answer an accessibility call in time";
        break;
    case AccessStatus::Failure:
        qCInfo(lc) << "an accessibility call failed with error"
                   << g_quark_to_string(m_error->domain) << m_error->code;
        break;
    default:
        break;
    }
    g_clear_error(&m_error);
}

bool takeCallTimedOut() {
    return std::exchange(callTimedOut, false);
}

QString takeString(gchar* owned) {
    QString result = owned ? QString::fromUtf8(owned) : QString();
    g_free(owned);
    return result;
}

QRectF rectOf(const AtspiRect* rect) {
    return QRectF(rect->x, rect->y, rect->width, rect->height);
}

bool hasState(AtspiAccessible* accessible, AtspiStateType state) {
    GRef<AtspiStateSet> states(atspi_accessible_get_state_set(accessible));
    return states && atspi_state_set_contains(states.get(), state);
}

bool hasTextInterface(AtspiAccessible* accessible) {
    return GRef<AtspiText>(atspi_accessible_get_text_iface(accessible)) != nullptr;
}

quint32 processOf(AtspiAccessible* accessible) {
    GError* error = nullptr;
    const guint pid = atspi_accessible_get_process_id(accessible, &error);
    g_clear_error(&error);
    return pid;
}

bool isOwnProcess(AtspiAccessible* accessible) {
    return processOf(accessible) == static_cast<quint32>(::getpid());
}

} // namespace ovra::platform
