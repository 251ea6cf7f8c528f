#pragma once

#include <QPointF>
#include <QRectF>

namespace ovra::CoordinateSpace {

// Window space has its origin at the bottom-left of the primary screen with y growing upwards;
// accessibility space (and X11, AT-SPI, Qt) has it at the top-left with y growing downwards.
// `primaryHeight` is the height of the primary screen's frame. Each conversion is its own inverse.

inline QPointF flipPoint(QPointF point, double primaryHeight) {
    return {point.x(), primaryHeight - point.y()};
}

inline QRectF flipRect(const QRectF& rect, double primaryHeight) {
    return {rect.x(), primaryHeight - rect.y() - rect.height(), rect.width(), rect.height()};
}

} // namespace ovra::CoordinateSpace
