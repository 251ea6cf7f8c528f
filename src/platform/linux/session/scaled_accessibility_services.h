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

    AXResult<AccessibleElement> elementAtPosition(QPointF point) override;
    AXResult<QRectF> boundsForRange(const AccessibleElement& element, TextRange range) override;
    AXResult<QRectF> frame(const AccessibleElement& element) override;

    bool isProcessTrusted() override { return m_device.isProcessTrusted(); }
    void requestTrust() override { m_device.requestTrust(); }
    bool enableAccess() override { return m_device.enableAccess(); }
    SelectionEvent lastSelectionEvent(qint32 pid) override {
        return m_device.lastSelectionEvent(pid);
    }
    bool takeTimedOut() override { return m_device.takeTimedOut(); }
    AccessibleElement applicationElement(qint32 pid) override {
        return m_device.applicationElement(pid);
    }
    AXResult<AccessibleElement> systemFocusedElement() override {
        return m_device.systemFocusedElement();
    }
    AXResult<AccessibleElement> focusedElement(const AccessibleElement& application) override {
        return m_device.focusedElement(application);
    }
    qint32 processId(const AccessibleElement& element) override {
        return m_device.processId(element);
    }
    AXResult<QString> selectedText(const AccessibleElement& element) override {
        return m_device.selectedText(element);
    }
    AXResult<TextRange> selectedTextRange(const AccessibleElement& element) override {
        return m_device.selectedTextRange(element);
    }
    AXResult<QString> stringForRange(const AccessibleElement& element, TextRange range) override {
        return m_device.stringForRange(element, range);
    }
    AXResult<QString> value(const AccessibleElement& element) override {
        return m_device.value(element);
    }
    AXResult<bool> isSettable(const AccessibleElement& element,
                              SettableAttribute attribute) override {
        return m_device.isSettable(element, attribute);
    }
    AXResult<AccessibleElement> parent(const AccessibleElement& element) override {
        return m_device.parent(element);
    }
    AXResult<QList<AccessibleElement>> children(const AccessibleElement& element) override {
        return m_device.children(element);
    }
    AXResult<ElementRole> role(const AccessibleElement& element) override {
        return m_device.role(element);
    }
    AXResult<QList<AccessibleElement>> windows(const AccessibleElement& application) override {
        return m_device.windows(application);
    }
    AXStatus setEnhancedUserInterface(const AccessibleElement& application, bool on) override {
        return m_device.setEnhancedUserInterface(application, on);
    }
    AXStatus setSelectedTextRange(const AccessibleElement& element, TextRange range) override {
        return m_device.setSelectedTextRange(element, range);
    }
    AXStatus setSelectedText(const AccessibleElement& element, const QString& text) override {
        return m_device.setSelectedText(element, text);
    }
    AXStatus replaceText(const AccessibleElement& element, TextRange range,
                         const QString& text) override {
        return m_device.replaceText(element, range, text);
    }

private:
    AXResult<QRectF> toLogical(AXResult<QRectF> device);

    AccessibilityServices& m_device;
    std::function<DevicePixels()> m_pixels;
};

} // namespace ovra::platform
