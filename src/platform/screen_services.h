#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

namespace ovra {

// One display, in Qt's logical screen coordinates (origin at the top-left of the primary screen,
// y downwards).
struct ScreenInfo {
    QRectF frame;        // the whole screen
    QRectF visibleFrame; // the part not covered by panels and docks

    bool operator==(const ScreenInfo&) const = default;
};

// Displays and the pointer, in logical coordinates like every other rectangle in this program.
// Main thread only.
class ScreenServices {
public:
    virtual ~ScreenServices() = default;

    // Every display, the primary one first; empty when no display is attached.
    virtual QList<ScreenInfo> screens() = 0;
    // Where the pointer is now.
    virtual QPointF pointerLocation() = 0;
};

} // namespace ovra
