#include "platform/linux/atspi/focus_search.h"

#include <algorithm>
#include <array>
#include <deque>

namespace ovra::platform::FocusSearch {

AccessibleElement innermostFocusedWithin(FocusTree& tree, const AccessibleElement& scope) {
    AccessibleElement found;
    for (int level = 0; level < maxFocusedLevels; ++level) {
        AccessibleElement inner = tree.firstFocusedWithin(found ? found : scope);
        if (!inner)
            break;
        found = std::move(inner);
        if (tree.hasText(found))
            break;
    }
    return found;
}

AccessibleElement focusedInWindow(FocusTree& tree, const AccessibleElement& window) {
    // One round trip, and one more per focused level below the first.
    if (AccessibleElement found = innermostFocusedWithin(tree, window))
        return found;

    // Breadth first, not entering containers that manage their descendants. The inside of a
    // focused node without text goes first, the more focused nodes around it the sooner; the
    // rest of the window stays queued, since some toolkits (Qt 5's KDE views) leave another
    // branch marked focused as well.
    struct Queued {
        AccessibleElement node;
        int depth;
    };
    std::array<std::deque<Queued>, maxFocusedLevels + 1> queues;
    queues[0].push_back({window, 0});
    int visited = 0;
    int focusedLevel = 0;
    AccessibleElement focused;
    for (;;) {
        auto level = static_cast<int>(queues.size()) - 1;
        while (level >= 0 && queues[level].empty())
            --level;
        if (level < 0 || visited >= maxVisits)
            break;
        Queued next = std::move(queues[level].front());
        queues[level].pop_front();
        ++visited;
        const std::optional<FocusTree::States> states = tree.states(next.node);
        if (!states)
            continue;
        if (states->focused) {
            if (tree.hasText(next.node))
                return next.node;
            level = std::min(level + 1, maxFocusedLevels);
            if (level > focusedLevel) {
                focusedLevel = level;
                focused = next.node;
            }
        }
        if (next.depth >= maxDepth || states->managesDescendants)
            continue;
        const QList<AccessibleElement> children = tree.children(next.node);
        for (const AccessibleElement& child : children)
            queues[level].push_back({child, next.depth + 1});
    }
    return focused;
}

} // namespace ovra::platform::FocusSearch
