#include "platform/linux/session/scaled_accessibility_services.h"

namespace ovra::platform {

AccessResult<QRectF> ScaledAccessibilityServices::toLogical(AccessResult<QRectF> device) {
    if (device.ok())
        device.value = m_pixels().toLogical(device.value);
    return device;
}

AccessResult<AccessibleElement> ScaledAccessibilityServices::elementAtPosition(QPointF point) {
    return m_device.elementAtPosition(m_pixels().toDevice(point));
}

AccessResult<QRectF> ScaledAccessibilityServices::boundsForRange(const AccessibleElement& element,
                                                                 TextRange range) {
    return toLogical(m_device.boundsForRange(element, range));
}

AccessResult<QRectF> ScaledAccessibilityServices::frame(const AccessibleElement& element) {
    return toLogical(m_device.frame(element));
}

} // namespace ovra::platform
