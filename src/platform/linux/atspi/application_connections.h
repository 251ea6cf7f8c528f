#pragma once

#include <atspi/atspi.h>

namespace ovra::platform {

// Keeps libatspi's connections to applications on the accessibility thread's GLib context.
// libatspi talks to most GTK applications over a direct connection of their own, and attaches
// every such connection to the process's default context, which no thread dispatches (the UI
// thread runs Qt's own event loop). A new connection appears only while this thread's loop
// dispatches, so moving them home before each iteration and before each job keeps them served;
// an element's connection is also checked as the element is used. Accessibility thread only.
class ApplicationConnections {
public:
    explicit ApplicationConnections(GMainContext* home);
    ~ApplicationConnections();
    ApplicationConnections(const ApplicationConnections&) = delete;
    ApplicationConnections& operator=(const ApplicationConnections&) = delete;

    // Moves every known application's connection that is not yet home.
    void bringHome();
    // Moves the connection to `accessible`'s application, if one is being kept home.
    static void bringHome(AtspiAccessible* accessible);

private:
    AtspiAccessible* m_desktop;
    GSource* m_beforeEachIteration;
};

} // namespace ovra::platform
