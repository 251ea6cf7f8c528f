#include "platform/linux/editable_text_write.h"

namespace ovra::platform {

AXStatus replaceTextAllOrNothing(const EditableTextCalls& calls, int start, int end,
                                 const QString& replacement) {
    std::optional<QString> removed;
    if (end > start) {
        // What goes back if the insert fails; without it the delete is not risked.
        removed = calls.textBetween(start, end);
        if (!removed || !calls.deleteText(start, end))
            return AXStatus::Failure;
    }
    if (replacement.isEmpty())
        return AXStatus::Success;
    const std::optional<int> countBefore = calls.characterCount();
    const bool accepted = calls.insertText(start, replacement);
    const std::optional<int> countAfter = calls.characterCount();
    // An application that filters the insert away may still report success; a count that did not
    // grow shows it.
    const bool grew = !countBefore || !countAfter || *countAfter > *countBefore;
    if (accepted && grew)
        return AXStatus::Success;
    if (countBefore && countAfter && *countAfter < *countBefore)
        return AXStatus::Failure; // the text changed under us; there is nothing sound to undo
    if (countBefore && countAfter && *countAfter > *countBefore)
        calls.deleteText(start, start + (*countAfter - *countBefore)); // a refused, partial insert
    if (removed)
        calls.insertText(start, *removed);
    return AXStatus::Failure;
}

} // namespace ovra::platform
