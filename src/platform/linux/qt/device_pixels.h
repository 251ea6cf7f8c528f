#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace ovra::platform {

// One screen as Qt's high-DPI scaling sees it.
struct ScaledScreen {
    QPointF origin;     // top-left: the same point in device and logical pixels
    QSizeF logicalSize; // device size divided by the ratio
    double ratio = 1.0; // device pixels per logical pixel

    bool operator==(const ScaledScreen&) const = default;
};

// X11 and AT-SPI count device pixels; Qt's screens, pointer and windows count logical ones as
// soon as a device-pixel ratio other than 1 applies (QT_SCALE_FACTOR, Xft.dpi). Qt keeps each
// screen's top-left fixed and divides distances from it by the screen's ratio; this converts the
// same way, by the screen that holds the point (else the first, the primary).
class DevicePixels {
public:
    explicit DevicePixels(QList<ScaledScreen> screens);
    // Qt's screens as they are now, the primary one first.
    static DevicePixels ofQtScreens();

    QPointF toLogical(QPointF device) const;
    // A rectangle converts by the screen holding its top-left.
    QRectF toLogical(const QRectF& device) const;
    QPointF toDevice(QPointF logical) const;

private:
    const ScaledScreen* holding(QPointF point, bool device) const;

    QList<ScaledScreen> m_screens;
};

} // namespace ovra::platform
