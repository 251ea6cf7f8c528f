#include "platform/linux/x11_all_workspaces.h"

#include "platform/linux/x11_connection.h"

#include <X11/Xlib.h>

namespace ovra::platform {

namespace {
constexpr unsigned long allWorkspaces = 0xFFFFFFFFUL;
constexpr long sourceIsApplication = 1;
} // namespace

void showOnAllWorkspaces(X11Connection& connection, unsigned long window) {
    Display* display = connection.display();
    const Atom desktop = connection.atom("_NET_WM_DESKTOP");
    connection.trapErrors([&] {
        // The window is mapped already: the window manager owns the property now and acts on a
        // request sent to the root window (it keeps the answer across later maps).
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = desktop;
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(allWorkspaces);
        event.xclient.data.l[1] = sourceIsApplication;
        XSendEvent(display, connection.root(), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        XFlush(display);
    });
}

} // namespace ovra::platform
