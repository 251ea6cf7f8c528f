#pragma once

#include <QProcessEnvironment>

namespace ovra::platform {

// The kind of desktop session this program runs in, as its environment says.
enum class DesktopSession {
    X11,
    WaylandKde,   // KWin: reports the active window through a script
    WaylandGnome, // GNOME Shell: needs the program's shell extension
    WaylandOther, // another compositor: no window positions at all
};

// XDG_SESSION_TYPE decides where set; else a WAYLAND_DISPLAY means Wayland. The compositor is
// told by XDG_CURRENT_DESKTOP (a colon-separated list).
DesktopSession detectDesktopSession(const QProcessEnvironment& environment);

inline bool isWayland(DesktopSession session) {
    return session != DesktopSession::X11;
}

} // namespace ovra::platform
