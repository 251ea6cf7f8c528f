#include "platform/linux/atspi/atspi_accessibility_services.h"

#include "platform/linux/atspi/accessibility_status.h"
#include "platform/linux/atspi/atspi_calls.h"
#include "platform/linux/atspi/atspi_element.h"

#include <unistd.h>

namespace ovra::platform {

AccessibleElement AtspiAccessibilityServices::applicationElement(qint32 pid) {
    if (pid <= 0 || pid == static_cast<qint32>(::getpid()))
        return {};
    ensureStarted();
    GRef<AtspiAccessible> root(atspi_get_desktop(0));
    if (!root)
        return {};
    CallError error;
    const gint count = atspi_accessible_get_child_count(root.get(), error.out());
    for (gint i = 0; i < count; ++i) {
        GRef<AtspiAccessible> application(
            atspi_accessible_get_child_at_index(root.get(), i, error.out()));
        if (!application)
            continue;
        const guint owner = atspi_accessible_get_process_id(application.get(), error.out());
        if (!error.failed() && static_cast<qint32>(owner) == pid) {
            return AtspiElementHandle::adopt(application.release());
        }
    }
    return {};
}

qint32 AtspiAccessibilityServices::processId(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return 0;
    CallError error;
    const guint pid = atspi_accessible_get_process_id(accessible, error.out());
    return error.failed() ? 0 : static_cast<qint32>(pid);
}

AccessResult<AccessibleElement>
AtspiAccessibilityServices::parent(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<AccessibleElement>::failure(AccessStatus::InvalidElement);
    CallError error;
    // An application is the top of its own tree; the desktop above it is no element of it.
    if (atspi_accessible_get_role(accessible, error.out()) == ATSPI_ROLE_APPLICATION) {
        return AccessResult<AccessibleElement>::success({});
    }
    if (error.failed())
        return AccessResult<AccessibleElement>::failure(error.status());
    AtspiAccessible* up = atspi_accessible_get_parent(accessible, error.out());
    if (error.failed())
        return AccessResult<AccessibleElement>::failure(error.status());
    return AccessResult<AccessibleElement>::success(AtspiElementHandle::adopt(up));
}

AccessResult<QList<AccessibleElement>>
AtspiAccessibilityServices::children(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QList<AccessibleElement>>::failure(AccessStatus::InvalidElement);
    CallError error;
    const gint count = atspi_accessible_get_child_count(accessible, error.out());
    if (error.failed())
        return AccessResult<QList<AccessibleElement>>::failure(error.status());
    QList<AccessibleElement> result;
    result.reserve(count);
    for (gint i = 0; i < count; ++i) {
        if (AtspiAccessible* child =
                atspi_accessible_get_child_at_index(accessible, i, error.out())) {
            result.append(AtspiElementHandle::adopt(child));
        }
    }
    return AccessResult<QList<AccessibleElement>>::success(std::move(result));
}

AccessResult<ElementRole> AtspiAccessibilityServices::role(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<ElementRole>::failure(AccessStatus::InvalidElement);
    CallError error;
    const AtspiRole atspiRole = atspi_accessible_get_role(accessible, error.out());
    if (error.failed())
        return AccessResult<ElementRole>::failure(error.status());
    switch (atspiRole) {
    case ATSPI_ROLE_TOOL_BAR:
        return AccessResult<ElementRole>::success(ElementRole::Toolbar);
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
        return AccessResult<ElementRole>::success(ElementRole::TextField);
    case ATSPI_ROLE_TEXT:
        // Qt's line edit is a text with the single-line state.
        return AccessResult<ElementRole>::success(hasState(accessible, ATSPI_STATE_SINGLE_LINE)
                                                      ? ElementRole::TextField
                                                      : ElementRole::TextArea);
    case ATSPI_ROLE_DOCUMENT_TEXT:
        return AccessResult<ElementRole>::success(ElementRole::TextArea);
    case ATSPI_ROLE_COMBO_BOX:
        return AccessResult<ElementRole>::success(ElementRole::ComboBox);
    default:
        return AccessResult<ElementRole>::success(ElementRole::Other);
    }
}

AccessResult<QList<AccessibleElement>>
AtspiAccessibilityServices::windows(const AccessibleElement& application) {
    auto all = children(application);
    if (!all.ok())
        return all;
    // The active window is the front one; the rest keep the application's order.
    QList<AccessibleElement> ordered;
    for (const AccessibleElement& window : std::as_const(all.value)) {
        if (hasState(AtspiElementHandle::of(window), ATSPI_STATE_ACTIVE))
            ordered.prepend(window);
        else
            ordered.append(window);
    }
    return AccessResult<QList<AccessibleElement>>::success(std::move(ordered));
}

AccessStatus
AtspiAccessibilityServices::setFullAccessibilityTree(const AccessibleElement& application,
                                                     bool on) {
    if (!AtspiElementHandle::of(application))
        return AccessStatus::InvalidElement;
    // Toolkits build their trees for everyone once the desktop's switch is on; there is no
    // per-application request, and turning it off would take it from other assistive tools.
    if (!on)
        return AccessStatus::Success;
    if (AccessibilityStatus::isEnabledWaiting().value_or(false))
        return AccessStatus::Success;
    return AccessibilityStatus::setEnabledWaiting(true) ? AccessStatus::Success
                                                        : AccessStatus::Failure;
}

} // namespace ovra::platform
