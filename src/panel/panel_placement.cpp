#include "panel/panel_placement.h"

#include <algorithm>
#include <cmath>

namespace ovra::PanelPlacement {

namespace {

// Rectangles touching along an edge do not count as intersecting, nor do empty ones.
bool overlaps(const QRectF& a, const QRectF& b) {
    return a.left() < b.right() && b.left() < a.right() && a.top() < b.bottom() &&
           b.top() < a.bottom();
}

// Containment with the left and top edges in and the right and bottom ones out, so adjacent
// screens never both claim a point on their shared border.
bool containsPoint(const QRectF& rect, QPointF point) {
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() &&
           point.y() < rect.bottom();
}

QPointF pointerFor(const SelectionSnapshot& snapshot, const Desktop& desktop) {
    return snapshot.mouseAtCapture.value_or(desktop.pointer);
}

} // namespace

bool isPlausible(const QRectF& rect, const QList<ScreenInfo>& screens) {
    // Written so that a NaN fails every test.
    if (!(rect.width() > 0) || !(rect.height() > 0))
        return false;
    if (rect.x() == 0 && rect.y() == 0)
        return false;
    return std::any_of(screens.begin(), screens.end(),
                       [&](const ScreenInfo& screen) { return overlaps(rect, screen.frame); });
}

std::optional<ScreenInfo> anchorScreen(const QRectF& anchor, const SelectionSnapshot& snapshot,
                                       const Desktop& desktop) {
    for (const ScreenInfo& screen : desktop.screens) {
        if (containsPoint(screen.frame, anchor.center()))
            return screen;
    }
    const QPointF pointer = pointerFor(snapshot, desktop);
    for (const ScreenInfo& screen : desktop.screens) {
        if (containsPoint(screen.frame, pointer))
            return screen;
    }
    if (desktop.screens.isEmpty())
        return std::nullopt;
    return desktop.screens.first();
}

QRectF anchorRect(const SelectionSnapshot& snapshot, const Desktop& desktop) {
    if (snapshot.screenBounds && isPlausible(*snapshot.screenBounds, desktop.screens))
        return *snapshot.screenBounds;
    const QPointF point = pointerFor(snapshot, desktop);
    return {point.x(), point.y() + pointerDrop - pointerHeight, 0, pointerHeight};
}

bool collides(const QRectF& frame, const QList<QRectF>& avoidRects) {
    return std::any_of(avoidRects.begin(), avoidRects.end(), [&](const QRectF& rect) {
        const QRectF grown =
            rect.adjusted(-toolbarGrowth, -toolbarGrowth, toolbarGrowth, toolbarGrowth);
        return overlaps(frame, grown);
    });
}

QRectF frameFor(QSizeF size, const SelectionSnapshot& snapshot, const QList<QRectF>& avoidRects,
                const Desktop& desktop) {
    const double width = size.width();
    const QRectF anchor = anchorRect(snapshot, desktop);
    const std::optional<ScreenInfo> screen = anchorScreen(anchor, snapshot, desktop);
    const QRectF visible = screen ? screen->visibleFrame : fallbackVisibleFrame;
    // Never taller than the screen's visible frame: the content scrolls inside instead.
    const double height =
        std::max(0.0, std::min(size.height(), visible.height() - 2 * screenMargin));

    const double leftLimit = visible.left() + screenMargin;
    const double rightLimit = visible.right() - screenMargin - width;
    double x = leftLimit;
    if (leftLimit <= rightLimit)
        x = std::min(std::max(anchor.center().x() - width / 2, leftLimit), rightLimit);

    const double topLimit = visible.top() + screenMargin;
    const double bottomLimit = visible.bottom() - screenMargin;
    const double above = anchor.top() - selectionGap - height;
    const double below = anchor.bottom() + selectionGap;
    const double roomAbove = (anchor.top() - selectionGap) - topLimit;
    const double roomBelow = bottomLimit - below;
    const bool fitsAbove = height <= roomAbove;
    const bool fitsBelow = height <= roomBelow;
    const auto collidesAt = [&](double y) {
        return collides(QRectF(x, y, width, height), avoidRects);
    };

    double y;
    if (fitsAbove) {
        y = above;
        if (collidesAt(above) && fitsBelow && !collidesAt(below))
            y = below;
    } else if (fitsBelow) {
        y = below;
    } else if (roomBelow > roomAbove) {
        y = bottomLimit - height;
    } else {
        y = topLimit;
    }
    // The top edge (close button, language picker) stays on the screen in every case.
    y = std::max(y, topLimit);
    return {x, y, width, height};
}

} // namespace ovra::PanelPlacement
