#pragma once

namespace ovra::platform {

class X11Connection;

// X11 properties of the floating panel's window.

// Asks the window manager to show the mapped `window` on every workspace (EWMH _NET_WM_DESKTOP =
// all), so the panel stays beside a selection whichever workspace the user switches to. Harmless
// when the window manager ignores the request.
void showOnAllWorkspaces(X11Connection& connection, unsigned long window);

// Marks `window` as a panel that may take the keyboard focus (for its question field) without
// that counting as this application becoming active: the workspace service does not report
// activations of such windows.
void markAsNonActivatingPanel(X11Connection& connection, unsigned long window);
bool isNonActivatingPanel(X11Connection& connection, unsigned long window);

} // namespace ovra::platform
