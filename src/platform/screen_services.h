#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

namespace ovra {

// One display, in window space (origin at the bottom-left of the primary screen, y upwards).
struct ScreenInfo {
    QRectF frame;        // the whole screen
    QRectF visibleFrame; // the part not covered by panels and docks

    bool operator==(const ScreenInfo&) const = default;
};

// Displays and the pointer. The platform converts from its top-left, y-down coordinates with the
// primary screen's height. Main thread only.
class ScreenServices {
public:
    virtual ~ScreenServices() = default;

    // Every display, the primary one first; empty when no display is attached.
    virtual QList<ScreenInfo> screens() = 0;
    // Where the pointer is now, in window space.
    virtual QPointF pointerLocation() = 0;
};

} // namespace ovra
