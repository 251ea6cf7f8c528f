#pragma once

#include "platform/linux/atspi/atspi_accessibility_services.h"
#include "platform/linux/qt/device_pixels.h"

#include <functional>

namespace ovra::platform {

// AT-SPI's conversions by the screens' scaling as `pixels` gives it at the moment of each call.
inline AtspiAccessibilityServices::PixelScaling scalingBy(std::function<DevicePixels()> pixels) {
    return {[pixels](QPointF logical) { return pixels().toDevice(logical); },
            [pixels](const QRectF& device) { return pixels().toLogical(device); }};
}

} // namespace ovra::platform
