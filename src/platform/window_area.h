#pragma once

#include <QMargins>
#include <QRect>
#include <optional>

namespace ovra {

// A top-level window on screen, as the window system has it: its whole area, and the invisible
// border inside it in which the toolkit draws its own decorations and shadow, when it says; or
// the visible window inside the area, when the compositor says (the shadow left out).
struct WindowArea {
    QRect area;
    std::optional<QMargins> clientSideBorder;
    std::optional<QRect> frame = std::nullopt;

    bool operator==(const WindowArea&) const = default;
};

} // namespace ovra
