#include "platform/linux/qt/qt_screen_services.h"

#include "platform/coordinate_space.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace ovra::platform {

QList<ScreenInfo> QtScreenServices::screens() {
    QList<ScreenInfo> result;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return result;
    const double height = primary->geometry().height();
    const auto add = [&](const QScreen* screen) {
        result.append({CoordinateSpace::flipRect(QRectF(screen->geometry()), height),
                       CoordinateSpace::flipRect(QRectF(screen->availableGeometry()), height)});
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
    QScreen* primary = QGuiApplication::primaryScreen();
    const double height = primary ? primary->geometry().height() : 0.0;
    return CoordinateSpace::flipPoint(QPointF(QCursor::pos()), height);
}

} // namespace ovra::platform
