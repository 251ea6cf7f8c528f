#pragma once

namespace ovra::platform {

class X11Connection;

// Asks the window manager to show the mapped `window` on every workspace (EWMH _NET_WM_DESKTOP =
// all), so the panel stays beside a selection whichever workspace the user switches to. Harmless
// when the window manager ignores the request.
void showOnAllWorkspaces(X11Connection& connection, unsigned long window);

} // namespace ovra::platform
