#include "platform/linux/qt/qt_screen_services.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace ovra::platform {

QList<ScreenInfo> QtScreenServices::screens() {
    QList<ScreenInfo> result;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return result;
    const auto add = [&](const QScreen* screen) {
        result.append({QRectF(screen->geometry()), QRectF(screen->availableGeometry())});
    };
    add(primary);
    const QList<QScreen*> all = QGuiApplication::screens();
    for (const QScreen* screen : all) {
        if (screen != primary)
            add(screen);
    }
    return result;
}

QPointF QtScreenServices::pointerLocation() {
    return QPointF(QCursor::pos());
}

} // namespace ovra::platform
