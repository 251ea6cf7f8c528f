#include "platform/linux/atspi/editable_text_write.h"

#include <algorithm>

namespace ovra::platform {

namespace {

// After a failed insert, makes the text from `start` on read `tail` again by rewriting only the
// part that differs from it: what the insert put in, and whatever it pushed off the end. The
// text around that part is left alone, so a restore that goes wrong cannot take more with it.
void undoInsert(const EditableTextCalls& calls, int start, const QString& tail) {
    const std::optional<int> count = calls.characterCount();
    const std::optional<QString> now =
        count && *count >= start ? calls.textBetween(start, *count) : std::nullopt;
    if (!now || *now == tail)
        return;
    const qsizetype shorter = std::min(now->size(), tail.size());
    qsizetype prefix = 0;
    while (prefix < shorter && now->at(prefix) == tail.at(prefix))
        ++prefix;
    if (prefix > 0 && now->at(prefix - 1).isHighSurrogate())
        --prefix; // never split a character
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           now->at(now->size() - 1 - suffix) == tail.at(tail.size() - 1 - suffix))
        ++suffix;
    if (suffix > 0 && now->at(now->size() - suffix).isLowSurrogate())
        --suffix;
    const int from = start + calls.lengthOf(now->left(prefix));
    const int to = start + calls.lengthOf(now->left(now->size() - suffix));
    if (to > from && !calls.deleteText(from, to))
        return;
    const QString missing = tail.mid(prefix, tail.size() - prefix - suffix);
    if (!missing.isEmpty())
        calls.insertText(from, missing);
}

} // namespace

AXStatus replaceTextAllOrNothing(const EditableTextCalls& calls, int start, int end,
                                 const QString& replacement) {
    // What the text from the selection on must read again if the insert fails. Without it
    // nothing is risked.
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
    undoInsert(calls, start, *tail);
    return AXStatus::Failure;
}

} // namespace ovra::platform
