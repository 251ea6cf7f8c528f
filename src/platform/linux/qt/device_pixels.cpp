#include "platform/linux/qt/device_pixels.h"

#include <QGuiApplication>
#include <QScreen>

namespace ovra::platform {

DevicePixels::DevicePixels(QList<ScaledScreen> screens) : m_screens(std::move(screens)) {}

DevicePixels DevicePixels::ofQtScreens() {
    QList<ScaledScreen> screens;
    const auto add = [&](const QScreen* screen) {
        const QRectF logical(screen->geometry());
        screens.append({logical.topLeft(), logical.size(), screen->devicePixelRatio()});
    };
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        add(primary);
    const QList<QScreen*> all = QGuiApplication::screens();
    for (const QScreen* screen : all) {
        if (screen != primary)
            add(screen);
    }
    return DevicePixels(std::move(screens));
}

const ScaledScreen* DevicePixels::holding(QPointF point, bool device) const {
    for (const ScaledScreen& screen : m_screens) {
        const QSizeF size = device ? screen.logicalSize * screen.ratio : screen.logicalSize;
        if (QRectF(screen.origin, size).contains(point))
            return &screen;
    }
    return m_screens.isEmpty() ? nullptr : &m_screens.first();
}

QPointF DevicePixels::toLogical(QPointF device) const {
    const ScaledScreen* screen = holding(device, true);
    if (!screen || screen->ratio <= 0)
        return device;
    return screen->origin + (device - screen->origin) / screen->ratio;
}

QRectF DevicePixels::toLogical(const QRectF& device) const {
    const ScaledScreen* screen = holding(device.topLeft(), true);
    if (!screen || screen->ratio <= 0)
        return device;
    return QRectF(screen->origin + (device.topLeft() - screen->origin) / screen->ratio,
                  device.size() / screen->ratio);
}

QPointF DevicePixels::toDevice(QPointF logical) const {
    const ScaledScreen* screen = holding(logical, false);
    if (!screen || screen->ratio <= 0)
        return logical;
    return screen->origin + (logical - screen->origin) * screen->ratio;
}

} // namespace ovra::platform
