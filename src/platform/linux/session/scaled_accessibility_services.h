#pragma once

#include "platform/accessibility_services.h"
#include "platform/linux/qt/device_pixels.h"

#include <functional>

namespace ovra::platform {

// The accessibility services in Qt's logical pixels: the one place where AT-SPI's device-pixel
// positions (and the X11 lookups behind the element at a point) meet the program's coordinates.
// Everything else passes through unchanged.
class ScaledAccessibilityServices final : public AccessibilityServices {
public:
    // `pixels` gives the screens' scaling as it is at the moment of each call.
    ScaledAccessibilityServices(AccessibilityServices& device, std::function<DevicePixels()> pixels)
        : m_device(device), m_pixels(std::move(pixels)) {}

    AccessResult<AccessibleElement> elementAtPosition(QPointF point) override;
    AccessResult<QRectF> boundsForRange(const AccessibleElement& element, TextRange range) override;
    AccessResult<QRectF> frame(const AccessibleElement& element) override;

    SelectionEvent lastSelectionEvent(qint32 pid) override {
        return m_device.lastSelectionEvent(pid);
    }
    bool takeTimedOut() override { return m_device.takeTimedOut(); }
    AccessibleElement applicationElement(qint32 pid) override {
        return m_device.applicationElement(pid);
    }
    AccessResult<AccessibleElement> systemFocusedElement() override {
        return m_device.systemFocusedElement();
    }
    AccessResult<AccessibleElement> focusedElement(const AccessibleElement& application) override {
        return m_device.focusedElement(application);
    }
    qint32 processId(const AccessibleElement& element) override {
        return m_device.processId(element);
    }
    AccessResult<QString> selectedText(const AccessibleElement& element) override {
        return m_device.selectedText(element);
    }
    AccessResult<TextRange> selectedTextRange(const AccessibleElement& element) override {
        return m_device.selectedTextRange(element);
    }
    AccessResult<QString> stringForRange(const AccessibleElement& element,
                                         TextRange range) override {
        return m_device.stringForRange(element, range);
    }
    AccessResult<QString> value(const AccessibleElement& element) override {
        return m_device.value(element);
    }
    AccessResult<bool> isSettable(const AccessibleElement& element,
                                  SettableAttribute attribute) override {
        return m_device.isSettable(element, attribute);
    }
    AccessResult<AccessibleElement> parent(const AccessibleElement& element) override {
        return m_device.parent(element);
    }
    AccessResult<QList<AccessibleElement>> children(const AccessibleElement& element) override {
        return m_device.children(element);
    }
    AccessResult<ElementRole> role(const AccessibleElement& element) override {
        return m_device.role(element);
    }
    AccessResult<QList<AccessibleElement>> windows(const AccessibleElement& application) override {
        return m_device.windows(application);
    }
    AccessStatus setFullAccessibilityTree(const AccessibleElement& application, bool on) override {
        return m_device.setFullAccessibilityTree(application, on);
    }
    AccessStatus setSelectedTextRange(const AccessibleElement& element, TextRange range) override {
        return m_device.setSelectedTextRange(element, range);
    }
    AccessStatus setSelectedText(const AccessibleElement& element, const QString& text) override {
        return m_device.setSelectedText(element, text);
    }
    AccessStatus replaceText(const AccessibleElement& element, TextRange range,
                             const QString& text) override {
        return m_device.replaceText(element, range, text);
    }

private:
    AccessResult<QRectF> toLogical(AccessResult<QRectF> device);

    AccessibilityServices& m_device;
    std::function<DevicePixels()> m_pixels;
};

} // namespace ovra::platform
