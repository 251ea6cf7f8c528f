#pragma once

#include "platform/accessible_element.h"

#include <QList>
#include <optional>

namespace ovra::platform {

// An application's tree as the focus search sees it. Each call may be a round trip to the
// application.
class FocusTree {
public:
    struct States {
        bool focused = false;
        // Tables and lists with thousands of virtual children, which are never walked.
        bool managesDescendants = false;
    };

    virtual ~FocusTree() = default;
    // Nothing when the node does not say.
    virtual std::optional<States> states(const AccessibleElement& node) = 0;
    virtual bool hasText(const AccessibleElement& node) = 0;
    // In the application's order; children that cannot be read are left out.
    virtual QList<AccessibleElement> children(const AccessibleElement& node) = 0;
    // The first focused node below `scope` in the toolkit's own order, where the toolkit searches
    // its own tree in one round trip (GTK does, Qt does not); null otherwise, or when none is.
    virtual AccessibleElement firstFocusedWithin(const AccessibleElement& scope) = 0;
};

// Where the keyboard focus is inside one window, for toolkits that do not say so themselves.
namespace FocusSearch {

// How many focused nodes, one inside the other, the search follows inwards. LibreOffice marks its
// document view focused as well as the paragraph with the caret inside it, and KWrite four
// containers (its tab among them) around its editor; the first focused node with text is the one.
inline constexpr int maxFocusedLevels = 8;
// Bounds of the walk through a window.
inline constexpr int maxVisits = 600;
inline constexpr int maxDepth = 40;

// The focused node below `scope` as the toolkit's own search finds it, followed inwards level by
// level while the one found has no text; null when the toolkit does not search or nothing below
// `scope` is focused.
AccessibleElement innermostFocusedWithin(FocusTree& tree, const AccessibleElement& scope);

// The focused node inside `window`: the toolkit's own search where it has one, else a bounded walk
// that prefers a focused node with text, else the innermost focused one; null when none is.
AccessibleElement focusedInWindow(FocusTree& tree, const AccessibleElement& window);

} // namespace FocusSearch

} // namespace ovra::platform
