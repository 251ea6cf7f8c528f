#pragma once

#include "platform/linux/wayland/active_window.h"

#include <QString>
#include <optional>

namespace ovra::platform {

// Reads a compositor helper's report of the active window:
//   {"pid":N,"resourceClass":"…","client":[x,y,width,height]}
// where "client" is the window's surface, the area its toolkit's own coordinates start in; pid 0
// when no window is active. The inner value is empty for "none"; the outer one for a malformed
// report. Decorations and shadows the toolkit draws inside the surface are left to the toolkit's
// own size to tell.
std::optional<std::optional<ActiveWindow>> parseActiveWindowReport(const QString& json);

} // namespace ovra::platform
