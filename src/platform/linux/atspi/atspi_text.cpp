#include "platform/linux/atspi/atspi_accessibility_services.h"

#include "platform/linux/atspi/atspi_calls.h"
#include "platform/linux/atspi/atspi_element.h"

namespace ovra::platform {

ToolkitCounting AtspiAccessibilityServices::countingOf(AtspiAccessible* accessible) {
    const AtspiObject* object = ATSPI_OBJECT(accessible);
    const QString busName =
        object->app && object->app->bus_name ? QString::fromUtf8(object->app->bus_name) : QString();
    const auto cached = m_countingByBusName.constFind(busName);
    if (cached != m_countingByBusName.constEnd())
        return *cached;
    GRef<AtspiAccessible> application(atspi_accessible_get_application(accessible, nullptr));
    QString toolkit;
    QString version;
    QString name;
    if (application) {
        toolkit = takeString(atspi_accessible_get_toolkit_name(application.get(), nullptr));
        version = takeString(atspi_accessible_get_toolkit_version(application.get(), nullptr));
        name = takeString(atspi_accessible_get_name(application.get(), nullptr));
    }
    const ToolkitCounting counting = TextOffsets::countingFor(toolkit, version, name);
    if (!busName.isEmpty() && !toolkit.isEmpty())
        m_countingByBusName.insert(busName, counting);
    return counting;
}

std::optional<std::pair<int, int>>
AtspiAccessibilityServices::nativeSelection(AtspiAccessible* accessible, AtspiText* text) {
    CallError error;
    const gint selections = atspi_text_get_n_selections(text, error.out());
    if (error.failed())
        return std::nullopt;
    if (selections > 0) {
        AtspiRange* range = atspi_text_get_selection(text, 0, error.out());
        if (!range)
            return std::nullopt;
        std::pair<int, int> result{std::min(range->start_offset, range->end_offset),
                                   std::max(range->start_offset, range->end_offset)};
        g_free(range);
        return meantSelection(accessible, text, result);
    }
    const gint caret = atspi_text_get_caret_offset(text, error.out());
    if (error.failed() || caret < 0)
        return std::nullopt;
    return std::pair<int, int>{caret, caret};
}

std::pair<int, int> AtspiAccessibilityServices::meantSelection(AtspiAccessible* accessible,
                                                               AtspiText* text,
                                                               std::pair<int, int> reported) {
    const ToolkitCounting counting = countingOf(accessible);
    if (!counting.selectionConvertedTwice || reported.second <= 0)
        return reported;
    // The offsets meant are at most twice the ones reported.
    const QString prefix = takeString(atspi_text_get_text(text, 0, 2 * reported.second, nullptr));
    return {static_cast<int>(TextOffsets::selectionOffset(prefix, reported.first, counting)),
            static_cast<int>(TextOffsets::selectionOffset(prefix, reported.second, counting))};
}

std::pair<int, int> AtspiAccessibilityServices::nativeRange(AtspiAccessible* accessible,
                                                            AtspiText* text, TextRange range) {
    const ToolkitCounting counting = countingOf(accessible);
    const qint64 end = range.location + range.length;
    if (counting.offsets == TextUnit::Utf16) {
        return {static_cast<int>(range.location), static_cast<int>(end)};
    }
    // A code point is at least one UTF-16 unit, so this many characters cover the range.
    const QString prefix =
        takeString(atspi_text_get_text(text, 0, static_cast<gint>(end), nullptr));
    return {static_cast<int>(TextOffsets::fromUtf16(prefix, range.location, counting.offsets)),
            static_cast<int>(TextOffsets::fromUtf16(prefix, end, counting.offsets))};
}

AccessResult<QString> AtspiAccessibilityServices::selectedText(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QString>::failure(AccessStatus::InvalidElement);
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessResult<QString>::failure(AccessStatus::AttributeUnsupported);
    CallError error;
    const gint selections = atspi_text_get_n_selections(text.get(), error.out());
    if (error.failed())
        return AccessResult<QString>::failure(error.status());
    if (selections <= 0)
        return AccessResult<QString>::success(QString());
    AtspiRange* range = atspi_text_get_selection(text.get(), 0, error.out());
    if (!range)
        return AccessResult<QString>::failure(error.status());
    const auto [start, reportedEnd] =
        meantSelection(accessible, text.get(),
                       {std::min(range->start_offset, range->end_offset),
                        std::max(range->start_offset, range->end_offset)});
    g_free(range);
    // Every toolkit's unit is at least one UTF-16 unit wide, so this many of them are enough.
    const gint end = std::min<qint64>(reportedEnd, qint64(start) + maxSelectionRead);
    QString selected = takeString(atspi_text_get_text(text.get(), start, end, error.out()));
    if (error.failed())
        return AccessResult<QString>::failure(error.status());
    if (countingOf(accessible).padsAstralCharacters)
        selected = TextOffsets::withoutAstralPadding(selected);
    selected.truncate(maxSelectionRead);
    return AccessResult<QString>::success(std::move(selected));
}

AccessResult<TextRange>
AtspiAccessibilityServices::selectedTextRange(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<TextRange>::failure(AccessStatus::InvalidElement);
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessResult<TextRange>::failure(AccessStatus::AttributeUnsupported);
    const auto native = nativeSelection(accessible, text.get());
    if (!native)
        return AccessResult<TextRange>::failure();
    const ToolkitCounting counting = countingOf(accessible);
    if (counting.offsets == TextUnit::Utf16) {
        return AccessResult<TextRange>::success({native->first, native->second - native->first});
    }
    CallError error;
    const QString prefix =
        takeString(atspi_text_get_text(text.get(), 0, native->second, error.out()));
    if (error.failed())
        return AccessResult<TextRange>::failure(error.status());
    const qint64 start = TextOffsets::toUtf16(prefix, native->first, counting.offsets);
    const qint64 end = TextOffsets::toUtf16(prefix, native->second, counting.offsets);
    return AccessResult<TextRange>::success({start, end - start});
}

AccessResult<QString> AtspiAccessibilityServices::stringForRange(const AccessibleElement& element,
                                                                 TextRange range) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QString>::failure(AccessStatus::InvalidElement);
    if (range.location < 0 || range.length < 0)
        return AccessResult<QString>::failure();
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessResult<QString>::failure(AccessStatus::AttributeUnsupported);
    CallError error;
    const gint count = atspi_text_get_character_count(text.get(), error.out());
    if (error.failed())
        return AccessResult<QString>::failure(error.status());
    // Not every toolkit stops at the end of its text by itself.
    const auto [start, end] = nativeRange(accessible, text.get(), range);
    const gint to = std::min(end, count);
    const QString piece =
        takeString(atspi_text_get_text(text.get(), std::min(start, to), to, error.out()));
    if (error.failed())
        return AccessResult<QString>::failure(error.status());
    if (countingOf(accessible).padsAstralCharacters)
        return AccessResult<QString>::success(TextOffsets::withoutAstralPadding(piece));
    return AccessResult<QString>::success(piece);
}

AccessResult<QString> AtspiAccessibilityServices::value(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QString>::failure(AccessStatus::InvalidElement);
    CallError error;
    if (GRef<AtspiText> text{atspi_accessible_get_text_iface(accessible)}) {
        QString all = takeString(atspi_text_get_text(text.get(), 0, -1, error.out()));
        if (error.failed())
            return AccessResult<QString>::failure(error.status());
        if (countingOf(accessible).padsAstralCharacters)
            all = TextOffsets::withoutAstralPadding(all);
        return AccessResult<QString>::success(std::move(all));
    }
    if (GRef<AtspiValue> numeric{atspi_accessible_get_value_iface(accessible)}) {
        const gdouble current = atspi_value_get_current_value(numeric.get(), error.out());
        if (error.failed())
            return AccessResult<QString>::failure(error.status());
        return AccessResult<QString>::success(QString::number(current));
    }
    return AccessResult<QString>::failure(AccessStatus::AttributeUnsupported);
}

AccessResult<bool> AtspiAccessibilityServices::isSettable(const AccessibleElement& element,
                                                          SettableAttribute) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<bool>::failure(AccessStatus::InvalidElement);
    // Both the selection and the whole value are written through EditableText, which read-only
    // views offer too: the editable state tells them apart.
    GRef<AtspiEditableText> editable(atspi_accessible_get_editable_text_iface(accessible));
    return AccessResult<bool>::success(editable && hasState(accessible, ATSPI_STATE_EDITABLE));
}

} // namespace ovra::platform
