#include "platform/linux/atspi/atspi_accessibility_services.h"

#include "platform/linux/atspi/atspi_calls.h"
#include "platform/linux/atspi/atspi_element.h"

#include <unistd.h>

namespace ovra::platform {

AtspiAccessibilityServices::AtspiAccessibilityServices(std::function<qint32(QPointF)> windowOwnerAt,
                                                       WindowAreaOf windowArea, Extents extents,
                                                       PixelScaling scaling)
    : m_windowOwnerAt(std::move(windowOwnerAt)), m_windowArea(std::move(windowArea)),
      m_extents(extents), m_scaling(std::move(scaling)) {}

AtspiAccessibilityServices::~AtspiAccessibilityServices() {
    if (m_focusListener) {
        atspi_event_listener_deregister(m_focusListener, "object:state-changed:focused", nullptr);
        g_object_unref(m_focusListener);
    }
    if (m_selectionListener) {
        atspi_event_listener_deregister(m_selectionListener, "object:text-selection-changed",
                                        nullptr);
        g_object_unref(m_selectionListener);
    }
    if (m_activationListener) {
        atspi_event_listener_deregister(m_activationListener, "window:activate", nullptr);
        g_object_unref(m_activationListener);
    }
}

void AtspiAccessibilityServices::ensureStarted() {
    if (m_focusListener)
        return;
    atspi_init();
    m_focusListener =
        atspi_event_listener_new(&AtspiAccessibilityServices::onFocusEvent, this, nullptr);
    atspi_event_listener_register(m_focusListener, "object:state-changed:focused", nullptr);
    m_selectionListener =
        atspi_event_listener_new(&AtspiAccessibilityServices::onSelectionEvent, this, nullptr);
    atspi_event_listener_register(m_selectionListener, "object:text-selection-changed", nullptr);
    m_activationListener =
        atspi_event_listener_new(&AtspiAccessibilityServices::onActivationEvent, this, nullptr);
    atspi_event_listener_register(m_activationListener, "window:activate", nullptr);
}

void AtspiAccessibilityServices::onActivationEvent(AtspiEvent* event, void* self) {
    auto* services = static_cast<AtspiAccessibilityServices*>(self);
    if (event->source && services->m_activationListenerCallback) {
        const quint32 pid = processOf(event->source);
        if (pid != 0)
            services->m_activationListenerCallback(static_cast<qint32>(pid));
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void AtspiAccessibilityServices::onSelectionEvent(AtspiEvent* event, void* self) {
    auto* services = static_cast<AtspiAccessibilityServices*>(self);
    if (event->source) {
        const quint32 pid = processOf(event->source);
        if (pid != 0 && pid != static_cast<quint32>(::getpid())) {
            services->m_lastSelectionChanged.insert(
                static_cast<qint32>(pid),
                SelectionEvent{AtspiElementHandle::adopt(g_object_ref(event->source)),
                               ++services->m_selectionSerial});
            if (services->m_selectionListenerCallback)
                services->m_selectionListenerCallback(static_cast<qint32>(pid));
        }
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

void AtspiAccessibilityServices::onFocusEvent(AtspiEvent* event, void* self) {
    auto* services = static_cast<AtspiAccessibilityServices*>(self);
    if (event->source) {
        if (event->detail1) {
            services->m_lastFocused = AtspiElementHandle::adopt(g_object_ref(event->source));
            const quint32 pid = processOf(event->source);
            if (pid != 0) {
                // Bounded: applications come and go over a session.
                if (services->m_lastFocusedByProcess.size() >= maxRememberedProcesses)
                    services->m_lastFocusedByProcess.clear();
                services->m_lastFocusedByProcess.insert(static_cast<qint32>(pid),
                                                        services->m_lastFocused);
            }
        } else if (AtspiElementHandle::of(services->m_lastFocused) == event->source) {
            services->m_lastFocused = {};
        }
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

SelectionEvent AtspiAccessibilityServices::lastSelectionEvent(qint32 pid) {
    ensureStarted();
    return m_lastSelectionChanged.value(pid);
}

bool AtspiAccessibilityServices::takeTimedOut() {
    return takeCallTimedOut();
}

AccessResult<AccessibleElement> AtspiAccessibilityServices::systemFocusedElement() {
    ensureStarted();
    AtspiAccessible* focused = AtspiElementHandle::of(m_lastFocused);
    // Focus events can be missed (an application that started before us); a stale element is
    // worse than none, so the element must still say it has the focus.
    if (focused && !isOwnProcess(focused) && hasState(focused, ATSPI_STATE_FOCUSED)) {
        return AccessResult<AccessibleElement>::success(m_lastFocused);
    }
    return AccessResult<AccessibleElement>::success({});
}

AccessResult<AccessibleElement> AtspiAccessibilityServices::rememberedFocus(AtspiAccessible* app) {
    const AccessibleElement remembered =
        m_lastFocusedByProcess.value(static_cast<qint32>(processOf(app)));
    if (!remembered)
        return AccessResult<AccessibleElement>::failure(AccessStatus::NoValue);
    return AccessResult<AccessibleElement>::success(remembered);
}

} // namespace ovra::platform
