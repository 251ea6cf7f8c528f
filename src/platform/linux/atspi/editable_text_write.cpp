#include "platform/linux/atspi/editable_text_write.h"

#include <algorithm>

namespace ovra::platform {

namespace {

// After a failed insert at `start`, makes the text read `selection` + `rest` from there again.
// What the insert left must be part of what was asked for, followed by `rest` as it was or with
// its end pushed off (a full field): only that part is deleted, the selection inserted back and
// the lost end appended. Where the text reads otherwise (the insert went elsewhere, or something
// else edited it meanwhile) nothing is touched: a rewrite from the first to the last difference
// could delete the user's text and, the application refusing inserts, never give it back.
void undoInsert(const EditableTextCalls& calls, int start, const QString& replacement,
                const QString& selection, const QString& rest) {
    const std::optional<int> count = calls.characterCount();
    const std::optional<QString> now =
        count && *count >= start ? calls.textBetween(start, *count) : std::nullopt;
    if (!now || *now == selection + rest)
        return;
    // The shortest part of the insert that explains the text: the least to delete.
    const qsizetype most = std::min(now->size(), replacement.size());
    const qsizetype least = std::max<qsizetype>(0, now->size() - rest.size());
    if (QStringView(*now).left(least) != QStringView(replacement).left(least))
        return;
    for (qsizetype inserted = least; inserted <= most; ++inserted) {
        if (inserted > 0 && now->at(inserted - 1) != replacement.at(inserted - 1))
            break; // no longer part of what was asked for, nor any longer part
        if (inserted > 0 && now->at(inserted - 1).isHighSurrogate())
            continue; // never split a character
        const QStringView left = QStringView(*now).mid(inserted);
        if (!QStringView(rest).startsWith(left))
            continue;
        const int insertedLength = calls.lengthOf(now->left(inserted));
        if (insertedLength > 0 && !calls.deleteText(start, start + insertedLength))
            return;
        if (!selection.isEmpty() && !calls.insertText(start, selection))
            return;
        const QString lostEnd = rest.mid(left.size());
        if (!lostEnd.isEmpty())
            calls.insertText(start + calls.lengthOf(selection + left), lostEnd);
        return;
    }
}

} // namespace

AccessStatus replaceTextAllOrNothing(const EditableTextCalls& calls, int start, int end,
                                     const QString& replacement) {
    // What the text from the selection on must read again if the insert fails. Without it
    // nothing is risked.
    const std::optional<int> total = calls.characterCount();
    const std::optional<QString> selection =
        total && *total >= end ? calls.textBetween(start, end) : std::nullopt;
    const std::optional<QString> rest = selection ? calls.textBetween(end, *total) : std::nullopt;
    if (!rest)
        return AccessStatus::Failure;
    if (end > start && !calls.deleteText(start, end))
        return AccessStatus::Failure;
    // A write that only deletes is checked like any other: an application may take more.
    const bool accepted = replacement.isEmpty() || calls.insertText(start, replacement);
    const std::optional<int> countAfter = calls.characterCount();
    // An application that filters the insert, or cuts it to the room left, may still report
    // success; the count shows whether all of it went in and nothing else went out.
    const int expected = *total - (end - start) + calls.lengthOf(replacement);
    if (accepted && (!countAfter || *countAfter == expected))
        return AccessStatus::Success;
    undoInsert(calls, start, replacement, *selection, *rest);
    return AccessStatus::Failure;
}

} // namespace ovra::platform
