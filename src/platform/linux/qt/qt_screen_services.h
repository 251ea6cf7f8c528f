#pragma once

#include "platform/screen_services.h"

namespace ovra::platform {

// Displays and the pointer as Qt reports them.
class QtScreenServices final : public ScreenServices {
public:
    QList<ScreenInfo> screens() override;
    QPointF pointerLocation() override;
};

} // namespace ovra::platform
