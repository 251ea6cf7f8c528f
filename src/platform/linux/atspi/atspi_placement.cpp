#include "platform/linux/atspi/atspi_accessibility_services.h"

#include "platform/linux/atspi/atspi_calls.h"
#include "platform/linux/atspi/atspi_element.h"

#include <cmath>

namespace ovra::platform {

namespace {

// The size of the window `accessible` is in, as the toolkit reports it.
std::optional<QSizeF> topLevelSize(AtspiAccessible* accessible) {
    GRef<AtspiAccessible> current(static_cast<AtspiAccessible*>(g_object_ref(accessible)));
    for (int depth = 0; depth < 64; ++depth) {
        GRef<AtspiAccessible> parent(atspi_accessible_get_parent(current.get(), nullptr));
        if (!parent)
            return std::nullopt;
        if (atspi_accessible_get_role(parent.get(), nullptr) == ATSPI_ROLE_APPLICATION) {
            GRef<AtspiComponent> component(atspi_accessible_get_component_iface(current.get()));
            AtspiRect* rect =
                component
                    ? atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_WINDOW, nullptr)
                    : nullptr;
            if (!rect)
                return std::nullopt;
            const QSizeF size(rect->width, rect->height);
            g_free(rect);
            return size;
        }
        current = std::move(parent);
    }
    return std::nullopt;
}

} // namespace

AccessResult<QRectF> AtspiAccessibilityServices::boundsForRange(const AccessibleElement& element,
                                                                TextRange range) {
    return inLogicalPixels(deviceBoundsForRange(element, range));
}

AccessResult<QRectF> AtspiAccessibilityServices::frame(const AccessibleElement& element) {
    return inLogicalPixels(deviceFrame(element));
}

AccessResult<QRectF> AtspiAccessibilityServices::inLogicalPixels(AccessResult<QRectF> device) {
    if (device.ok() && m_scaling.toLogical)
        device.value = m_scaling.toLogical(device.value);
    return device;
}

bool AtspiAccessibilityServices::isWindowRelative(AtspiAccessible* accessible) {
    return m_extents == Extents::windowRelative || countingOf(accessible).windowRelativeExtents;
}

AccessResult<QRectF>
AtspiAccessibilityServices::deviceBoundsForRange(const AccessibleElement& element,
                                                 TextRange range) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QRectF>::failure(AccessStatus::InvalidElement);
    if (range.location < 0 || range.length < 0)
        return AccessResult<QRectF>::failure();
    GRef<AtspiText> text(atspi_accessible_get_text_iface(accessible));
    if (!text)
        return AccessResult<QRectF>::failure(AccessStatus::AttributeUnsupported);
    const auto [start, end] = nativeRange(accessible, text.get(), range);
    if (isWindowRelative(accessible))
        return windowRelativeBounds(accessible, text.get(), start, end);
    CallError error;
    AtspiRect* rect = nullptr;
    if (end > start) {
        rect = atspi_text_get_range_extents(text.get(), start, end, ATSPI_COORD_TYPE_SCREEN,
                                            error.out());
    } else {
        // An empty range is the caret: the character's left edge, with no width.
        rect = atspi_text_get_character_extents(text.get(), start, ATSPI_COORD_TYPE_SCREEN,
                                                error.out());
        if (rect)
            rect->width = 0;
    }
    if (!rect)
        return AccessResult<QRectF>::failure(error.status());
    const QRectF bounds = rectOf(rect);
    g_free(rect);
    // Toolkits answer all zeros for text they cannot place (scrolled away, not laid out). A box
    // without height is no glyph's either: KWrite's are that flat, and about 40 px right of its
    // text; placing by the pointer or the element is closer.
    if (bounds.height() <= 0)
        return AccessResult<QRectF>::failure(AccessStatus::NoValue);
    return AccessResult<QRectF>::success(bounds);
}

// For toolkits that place text only within their window, a character at a time: the first and the
// last character of the range, moved by where X11 has the window.
AccessResult<QRectF> AtspiAccessibilityServices::windowRelativeBounds(AtspiAccessible* accessible,
                                                                      AtspiText* text, int start,
                                                                      int end) {
    const auto characterAt = [&](int offset) -> std::optional<QRectF> {
        CallError error;
        AtspiRect* rect =
            atspi_text_get_character_extents(text, offset, ATSPI_COORD_TYPE_WINDOW, error.out());
        if (!rect)
            return std::nullopt;
        const QRectF bounds = rectOf(rect);
        g_free(rect);
        return bounds;
    };
    std::optional<QRectF> bounds = characterAt(start);
    if (bounds && end > start + 1) {
        const std::optional<QRectF> last = characterAt(end - 1);
        bounds = last ? std::optional(bounds->united(*last)) : std::nullopt;
    }
    if (bounds && end == start)
        bounds->setWidth(0);
    const std::optional<QPointF> origin = bounds ? windowOrigin(accessible) : std::nullopt;
    if (!origin)
        return AccessResult<QRectF>::failure(AccessStatus::NoValue);
    return AccessResult<QRectF>::success(bounds->translated(*origin));
}

std::optional<QPointF> AtspiAccessibilityServices::windowOrigin(AtspiAccessible* accessible) {
    if (!m_windowArea)
        return std::nullopt;
    GError* error = nullptr;
    const guint pid = atspi_accessible_get_process_id(accessible, &error);
    g_clear_error(&error);
    const auto window = m_windowArea(static_cast<qint32>(pid));
    if (!window)
        return std::nullopt;
    // The window's own coordinates start inside the border it draws its decorations in: as it
    // says; else where the compositor's visible frame begins, when the toolkit's own size is the
    // frame's (a shadow of its own, which GTK 4 draws deeper below than above); else from the
    // difference between the window system's size and its own. The sides share the width's
    // difference equally, the bottom as much as a side, and the rest is above: a title bar of its
    // own on top (Qt under GNOME).
    QPointF origin = window->area.topLeft();
    const std::optional<QSizeF> own =
        window->clientSideBorder ? std::nullopt : topLevelSize(accessible);
    const auto isFrame = [&](const QRect& frame) {
        return std::abs(own->width() - frame.width()) <= 1 &&
               std::abs(own->height() - frame.height()) <= 1;
    };
    if (window->clientSideBorder) {
        origin += QPointF(window->clientSideBorder->left(), window->clientSideBorder->top());
    } else if (own && window->frame && isFrame(*window->frame)) {
        origin = window->frame->topLeft();
    } else if (own) {
        const double side = std::max(0.0, (window->area.width() - own->width()) / 2);
        const double above = std::max(0.0, window->area.height() - own->height() - side);
        origin += QPointF(side, above);
    }
    return origin;
}

AccessResult<QRectF> AtspiAccessibilityServices::deviceFrame(const AccessibleElement& element) {
    AtspiAccessible* accessible = AtspiElementHandle::of(element);
    if (!accessible)
        return AccessResult<QRectF>::failure(AccessStatus::InvalidElement);
    GRef<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
    if (!component)
        return AccessResult<QRectF>::failure(AccessStatus::AttributeUnsupported);
    // A toolkit that places things only within its window is moved by where the window is.
    const bool windowRelative = isWindowRelative(accessible);
    CallError error;
    AtspiRect* rect = atspi_component_get_extents(
        component.get(), windowRelative ? ATSPI_COORD_TYPE_WINDOW : ATSPI_COORD_TYPE_SCREEN,
        error.out());
    if (!rect)
        return AccessResult<QRectF>::failure(error.status());
    const QRectF result = rectOf(rect);
    g_free(rect);
    if (!windowRelative)
        return AccessResult<QRectF>::success(result);
    const std::optional<QPointF> origin = windowOrigin(accessible);
    if (!origin)
        return AccessResult<QRectF>::failure(AccessStatus::NoValue);
    return AccessResult<QRectF>::success(result.translated(*origin));
}

} // namespace ovra::platform
