#include "platform/linux/atspi/editable_text_write.h"

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
    // An application that filters the insert, or cuts it to the room left, may still report
    // success; the count shows what went in.
    const bool allWentIn =
        !countBefore || !countAfter || *countAfter - *countBefore == calls.lengthOf(replacement);
    if (accepted && allWentIn)
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
