#pragma once

#include "platform/screen_services.h"

namespace ovra::platform {

// The screens of a Wayland session, where this program (an XWayland client) cannot know the
// pointer: X11's position goes stale while the pointer is over Wayland windows. In its place
// stands a point centred near the top of the primary screen, so a panel placed without the
// selection's bounds opens there.
class PointerlessScreenServices final : public ScreenServices {
public:
    // Below the top of the primary screen's visible frame, in logical pixels.
    static constexpr double standInDrop = 120;

    explicit PointerlessScreenServices(ScreenServices& screens) : m_screens(screens) {}

    QList<ScreenInfo> screens() override { return m_screens.screens(); }
    QPointF pointerLocation() override;

private:
    ScreenServices& m_screens;
    bool m_toldApproximate = false;
};

} // namespace ovra::platform
