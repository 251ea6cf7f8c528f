#include "platform/linux/wayland/pointerless_screen_services.h"

#include "support/logging.h"

OVRA_LOGGING_CATEGORY("ovra.platform.wayland");

namespace ovra::platform {

QPointF PointerlessScreenServices::pointerLocation() {
    const QList<ScreenInfo> all = m_screens.screens();
    if (all.isEmpty())
        return {};
    if (!m_toldApproximate) {
        m_toldApproximate = true;
        qCInfo(lc) << "no pointer position in a Wayland session: a panel placed without "
                      "the selection's bounds is approximate";
    }
    const QRectF visible = all.constFirst().visibleFrame;
    return {visible.center().x(), visible.top() + standInDrop};
}

} // namespace ovra::platform
