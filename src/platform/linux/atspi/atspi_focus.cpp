#include "platform/linux/atspi/atspi_accessibility_services.h"

#include "platform/linux/atspi/atspi_calls.h"
#include "platform/linux/atspi/atspi_element.h"
#include "platform/linux/atspi/focus_search.h"

namespace ovra::platform {

namespace {

class AtspiFocusTree final : public FocusTree {
public:
    std::optional<States> states(const AccessibleElement& node) override {
        GRef<AtspiStateSet> states(atspi_accessible_get_state_set(AtspiElementHandle::of(node)));
        if (!states)
            return std::nullopt;
        return States{
            static_cast<bool>(atspi_state_set_contains(states.get(), ATSPI_STATE_FOCUSED)),
            static_cast<bool>(
                atspi_state_set_contains(states.get(), ATSPI_STATE_MANAGES_DESCENDANTS))};
    }

    bool hasText(const AccessibleElement& node) override {
        return hasTextInterface(AtspiElementHandle::of(node));
    }

    QList<AccessibleElement> children(const AccessibleElement& node) override {
        AtspiAccessible* accessible = AtspiElementHandle::of(node);
        CallError error;
        const gint count = atspi_accessible_get_child_count(accessible, error.out());
        QList<AccessibleElement> result;
        for (gint i = 0; i < count; ++i) {
            if (AtspiAccessible* child =
                    atspi_accessible_get_child_at_index(accessible, i, error.out())) {
                result.append(AtspiElementHandle::adopt(child));
            }
        }
        return result;
    }

    // Asked through the toolkit's Collection interface.
    AccessibleElement firstFocusedWithin(const AccessibleElement& scopeElement) override {
        AtspiAccessible* scope = AtspiElementHandle::of(scopeElement);
        GRef<AtspiCollection> collection{atspi_accessible_get_collection_iface(scope)};
        if (!collection)
            return {};
        GRef<AtspiStateSet> wanted(atspi_state_set_new(nullptr));
        atspi_state_set_add(wanted.get(), ATSPI_STATE_FOCUSED);
        GRef<AtspiMatchRule> rule(atspi_match_rule_new(
            wanted.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
            ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
        GError* error = nullptr;
        GArray* matches = atspi_collection_get_matches(
            collection.get(), rule.get(), ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
        g_clear_error(&error);
        AccessibleElement first;
        if (matches) {
            for (guint i = 0; i < matches->len; ++i) {
                auto* match = g_array_index(matches, AtspiAccessible*, i);
                if (!first && match != scope)
                    first = AtspiElementHandle::adopt(match);
                else
                    g_object_unref(match);
            }
            g_array_free(matches, TRUE);
        }
        return first;
    }
};

} // namespace

AccessResult<AccessibleElement>
AtspiAccessibilityServices::focusedElement(const AccessibleElement& application) {
    AtspiAccessible* app = AtspiElementHandle::of(application);
    if (!app)
        return AccessResult<AccessibleElement>::failure(AccessStatus::InvalidElement);

    AtspiFocusTree tree;
    CallError error;
    // Warm path: the focus event already named an element of this application.
    if (AtspiAccessible* focused = AtspiElementHandle::of(m_lastFocused)) {
        GRef<AtspiAccessible> owner(atspi_accessible_get_application(focused, error.out()));
        if (owner && owner.get() == app && hasState(focused, ATSPI_STATE_FOCUSED)) {
            if (AccessibleElement inner =
                    hasTextInterface(focused)
                        ? AccessibleElement()
                        : FocusSearch::innermostFocusedWithin(tree, m_lastFocused))
                return AccessResult<AccessibleElement>::success(inner);
            return AccessResult<AccessibleElement>::success(m_lastFocused);
        }
    }

    // The active top-level window; a plain Qt window is a filler rather than a frame, so the
    // state decides, not the role.
    AccessibleElement activeWindow;
    const gint windowCount = atspi_accessible_get_child_count(app, error.out());
    if (error.failed())
        return AccessResult<AccessibleElement>::failure(error.status());
    for (gint i = 0; i < windowCount && !activeWindow; ++i) {
        GRef<AtspiAccessible> window(atspi_accessible_get_child_at_index(app, i, error.out()));
        if (window && hasState(window.get(), ATSPI_STATE_ACTIVE))
            activeWindow = AtspiElementHandle::adopt(window.release());
    }
    if (activeWindow) {
        if (AccessibleElement found = FocusSearch::focusedInWindow(tree, activeWindow))
            return AccessResult<AccessibleElement>::success(found);
    }
    return rememberedFocus(app);
}

} // namespace ovra::platform
