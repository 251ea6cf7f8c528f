#include "platform/linux/atspi/atspi_accessibility_services.h"

#include "platform/linux/atspi/atspi_calls.h"
#include "platform/linux/atspi/atspi_element.h"

#include <algorithm>
#include <unistd.h>

namespace ovra::platform {

namespace {

// How many children of one element are asked whether they hold a point, where the element itself
// does not say which does.
constexpr int maxPointChildren = 64;

// The showing child of `parent` whose extents hold the point, else a showing child without
// extents to look inside (GTK 3's notebook pages have none); null when neither is there.
AtspiAccessible* childHolding(AtspiAccessible* parent, int x, int y) {
    const gint count =
        std::min(atspi_accessible_get_child_count(parent, nullptr), maxPointChildren);
    GRef<AtspiAccessible> withoutExtents;
    for (gint i = 0; i < count; ++i) {
        GRef<AtspiAccessible> child(atspi_accessible_get_child_at_index(parent, i, nullptr));
        if (!child || !hasState(child.get(), ATSPI_STATE_SHOWING))
            continue;
        GRef<AtspiComponent> component(atspi_accessible_get_component_iface(child.get()));
        // A failed call answers a rectangle of -1s.
        AtspiRect* extents =
            component
                ? atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, nullptr)
                : nullptr;
        const bool known = extents && extents->width >= 0 && extents->height >= 0;
        const QRect area = known ? rectOf(extents).toRect() : QRect();
        g_free(extents);
        if (!known) {
            if (!withoutExtents)
                withoutExtents = std::move(child);
        } else if (area.contains(x, y)) {
            return child.release();
        }
    }
    return withoutExtents.release();
}

// The deepest element below `top` at the point, in device pixels.
AtspiAccessible* deepestAt(AtspiAccessible* top, int x, int y) {
    AtspiAccessible* current = static_cast<AtspiAccessible*>(g_object_ref(top));
    for (int hop = 0; hop < AtspiAccessibilityServices::maxPointHops; ++hop) {
        GRef<AtspiComponent> component(atspi_accessible_get_component_iface(current));
        AtspiAccessible* next =
            component ? atspi_component_get_accessible_at_point(component.get(), x, y,
                                                                ATSPI_COORD_TYPE_SCREEN, nullptr)
                      : nullptr;
        if (next == current) {
            g_object_unref(next);
            next = nullptr;
        }
        // Some containers answer no child for a point inside one (GTK 3's notebook, whose pages
        // have no extents, as in Mousepad): their children are asked instead.
        if (!next)
            next = childHolding(current, x, y);
        if (!next)
            break;
        g_object_unref(current);
        current = next;
    }
    return current;
}

} // namespace

AccessResult<AccessibleElement> AtspiAccessibilityServices::elementAtPosition(QPointF logical) {
    if (m_extents == Extents::windowRelative)
        return AccessResult<AccessibleElement>::failure(AccessStatus::AttributeUnsupported);
    ensureStarted();
    // The window system and the toolkits count device pixels.
    const QPointF point = m_scaling.toDevice ? m_scaling.toDevice(logical) : logical;
    const int x = qRound(point.x());
    const int y = qRound(point.y());
    CallError error;

    // The window system knows whose window is on top there; without it, active windows first.
    QList<AccessibleElement> applications;
    if (const qint32 pid = m_windowOwnerAt ? m_windowOwnerAt(point) : 0) {
        if (pid == static_cast<qint32>(::getpid()))
            return AccessResult<AccessibleElement>::failure(AccessStatus::NoValue);
        if (AccessibleElement app = applicationElement(pid))
            applications.append(app);
    }
    const bool fromWindowSystem = !applications.isEmpty();
    if (!fromWindowSystem) {
        GRef<AtspiAccessible> root(atspi_get_desktop(0));
        const gint count = root ? atspi_accessible_get_child_count(root.get(), error.out()) : 0;
        for (gint i = 0; i < count; ++i) {
            AccessibleElement application = AtspiElementHandle::adopt(
                atspi_accessible_get_child_at_index(root.get(), i, error.out()));
            if (application && !isOwnProcess(AtspiElementHandle::of(application))) {
                applications.append(application);
            }
        }
    }

    GRef<AtspiAccessible> top;
    for (int pass = 0; pass < 2 && !top; ++pass) {
        for (const AccessibleElement& application : std::as_const(applications)) {
            AtspiAccessible* app = AtspiElementHandle::of(application);
            if (!app)
                continue;
            const gint count = atspi_accessible_get_child_count(app, error.out());
            for (gint i = 0; i < count && !top; ++i) {
                GRef<AtspiAccessible> window(
                    atspi_accessible_get_child_at_index(app, i, error.out()));
                if (!window)
                    continue;
                if (pass == 0 && !fromWindowSystem && !hasState(window.get(), ATSPI_STATE_ACTIVE)) {
                    continue;
                }
                GRef<AtspiComponent> component(atspi_accessible_get_component_iface(window.get()));
                if (component && atspi_component_contains(component.get(), x, y,
                                                          ATSPI_COORD_TYPE_SCREEN, nullptr)) {
                    top = std::move(window);
                }
            }
            if (top)
                break;
        }
    }
    if (!top)
        return AccessResult<AccessibleElement>::failure(AccessStatus::NoValue);

    GRef<AtspiAccessible> deepest(deepestAt(top.get(), x, y));
    // Qt answers with a viewport inside the text widget: the text is a few levels up.
    AtspiAccessible* candidate = deepest.get();
    GRef<AtspiAccessible> ancestor;
    for (int hop = 0; hop <= maxTextAncestorHops && candidate; ++hop) {
        if (hasTextInterface(candidate)) {
            return AccessResult<AccessibleElement>::success(
                AtspiElementHandle::adopt(static_cast<AtspiAccessible*>(g_object_ref(candidate))));
        }
        if (candidate == top.get())
            break;
        ancestor.reset(atspi_accessible_get_parent(candidate, nullptr));
        candidate = ancestor.get();
    }
    return AccessResult<AccessibleElement>::success(AtspiElementHandle::adopt(deepest.release()));
}

} // namespace ovra::platform
