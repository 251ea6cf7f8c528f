#pragma once

#include <QMargins>
#include <QRect>
#include <optional>

namespace ovra {

// A top-level window on screen, as the window system has it: its whole area, and the invisible
// border inside it in which the toolkit draws its own decorations and shadow, when it says.
struct WindowArea {
    QRect area;
    std::optional<QMargins> clientSideBorder;

    bool operator==(const WindowArea&) const = default;
};

} // namespace ovra
