#pragma once

#include "platform/screen_services.h"

namespace ovra::test {

// Displays and a pointer a test moves. Starts with one 1920x1080 screen (menu bar 24 high).
class FakeScreens final : public ScreenServices {
public:
    QList<ScreenInfo> displays{{QRectF(0, 0, 1920, 1080), QRectF(0, 24, 1920, 1056)}};
    QPointF pointer{100, 100};

    QList<ScreenInfo> screens() override { return displays; }
    QPointF pointerLocation() override { return pointer; }
};

} // namespace ovra::test
