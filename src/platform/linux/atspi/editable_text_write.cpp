#include "platform/linux/atspi/editable_text_write.h"

namespace ovra::platform {

AXStatus replaceTextAllOrNothing(const EditableTextCalls& calls, int start, int end,
                                 const QString& replacement) {
    // What goes back if the insert fails: everything from the selection on, because a full field
    // may make room by pushing text off its end. Without it nothing is risked.
    const std::optional<int> total = calls.characterCount();
    const std::optional<QString> tail =
        total && *total >= end ? calls.textBetween(start, *total) : std::nullopt;
    if (!tail)
        return AXStatus::Failure;
    if (end > start && !calls.deleteText(start, end))
        return AXStatus::Failure;
    if (replacement.isEmpty())
        return AXStatus::Success;
    const bool accepted = calls.insertText(start, replacement);
    const std::optional<int> countAfter = calls.characterCount();
    // An application that filters the insert, or cuts it to the room left, may still report
    // success; the count shows whether all of it went in and nothing else went out.
    const int expected = *total - (end - start) + calls.lengthOf(replacement);
    if (accepted && (!countAfter || *countAfter == expected))
        return AXStatus::Success;
    if (countAfter && *countAfter >= start)
        calls.deleteText(start, *countAfter);
    calls.insertText(start, *tail);
    return AXStatus::Failure;
}

} // namespace ovra::platform
