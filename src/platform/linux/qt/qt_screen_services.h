#pragma once

#include "platform/screen_services.h"

namespace ovra::platform {

// Displays and the pointer from Qt, flipped to window space with the primary screen's height.
class QtScreenServices final : public ScreenServices {
public:
    QList<ScreenInfo> screens() override;
    QPointF pointerLocation() override;
};

} // namespace ovra::platform
