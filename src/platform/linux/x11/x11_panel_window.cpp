#include "platform/linux/x11/x11_panel_window.h"

#include "platform/linux/x11/x11_connection.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace ovra::platform {

namespace {
constexpr unsigned long allWorkspaces = 0xFFFFFFFFUL;
constexpr long sourceIsApplication = 1;
constexpr char panelProperty[] = "_OVRA_NONACTIVATING_PANEL";
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

void markAsNonActivatingPanel(X11Connection& connection, unsigned long window) {
    Display* display = connection.display();
    const Atom property = connection.atom(panelProperty);
    connection.trapErrors([&] {
        const unsigned long value = 1;
        XChangeProperty(display, window, property, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&value), 1);
        XFlush(display);
    });
}

bool isNonActivatingPanel(X11Connection& connection, unsigned long window) {
    return window != 0 && connection.cardinalProperty(window, panelProperty, 0) == 1;
}

} // namespace ovra::platform
