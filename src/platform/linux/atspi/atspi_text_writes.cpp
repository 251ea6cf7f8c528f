#include "platform/linux/atspi/atspi_accessibility_services.h"

#include "platform/linux/atspi/atspi_calls.h"
#include "platform/linux/atspi/atspi_element.h"
#include "platform/linux/atspi/editable_text_write.h"

namespace ovra::platform {

AccessStatus AtspiAccessibilityServices::setSelectedTextRange(const AccessibleElement& element,
                                                              TextRange range) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessStatus::InvalidElement;
    if (range.location < 0 || range.length < 0)
        return AccessStatus::Failure;
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessStatus::AttributeUnsupported;
    const auto [start, end] = nativeRange(accessible, text.get(), range);
    CallError error;
    const gint selections = atspi_text_get_n_selections(text.get(), error.out());
    if (error.failed())
        return error.status();
    bool done = false;
    if (start == end) {
        if (selections > 0)
            atspi_text_remove_selection(text.get(), 0, error.out());
        done = atspi_text_set_caret_offset(text.get(), start, error.out());
    } else if (selections > 0) {
        done = atspi_text_set_selection(text.get(), 0, start, end, error.out());
    } else {
        done = atspi_text_add_selection(text.get(), start, end, error.out());
    }
    if (error.failed())
        return error.status();
    return done ? AccessStatus::Success : AccessStatus::Failure;
}

AccessStatus AtspiAccessibilityServices::replaceText(const AccessibleElement& element,
                                                     TextRange range, const QString& replacement) {
    if (range.location < 0 || range.length < 0)
        return AccessStatus::Failure;
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessStatus::InvalidElement;
    GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(accessible));
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!editable || !text)
        return AccessStatus::AttributeUnsupported;
    if (!hasState(accessible, ATSPI_STATE_EDITABLE))
        return AccessStatus::Failure;
    // The range itself, never "the selection": some toolkits clear the selection when it is set.
    const auto [start, end] = nativeRange(accessible, text.get(), range);

    const ToolkitCounting counting = countingOf(accessible);
    EditableTextCalls calls;
    calls.characterCount = [&]() -> std::optional<int> {
        CallError error;
        const gint count = atspi_text_get_character_count(text.get(), error.out());
        return error.failed() ? std::nullopt : std::optional<int>(count);
    };
    calls.textBetween = [&](int from, int to) -> std::optional<QString> {
        CallError error;
        gchar* piece = atspi_text_get_text(text.get(), from, to, error.out());
        std::optional<QString> result;
        if (!error.failed() && piece)
            result = QString::fromUtf8(piece);
        g_free(piece);
        // Lengths and inserts are of the text without the padding.
        if (result && counting.padsAstralCharacters)
            result = TextOffsets::withoutAstralPadding(*result);
        return result;
    };
    calls.deleteText = [&](int from, int to) {
        CallError error;
        const bool deleted = atspi_editable_text_delete_text(editable.get(), from, to, error.out());
        return deleted && !error.failed();
    };
    calls.insertText = [&](int at, const QString& piece) {
        const QByteArray utf8 = piece.toUtf8();
        const qint64 length = TextOffsets::length(piece, counting.insertLength);
        CallError error;
        const bool inserted = atspi_editable_text_insert_text(
            editable.get(), at, utf8.constData(), static_cast<gint>(length), error.out());
        return inserted && !error.failed();
    };
    calls.lengthOf = [&counting](const QString& piece) {
        return static_cast<int>(TextOffsets::length(piece, counting.offsets));
    };
    return replaceTextAllOrNothing(calls, start, end, replacement);
}

} // namespace ovra::platform
