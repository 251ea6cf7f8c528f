#pragma once

#include <atspi/atspi.h>

namespace ovra::platform {

// Keeps libatspi's connections to applications on the accessibility thread's GLib context.
// libatspi talks to most GTK applications over a direct connection of their own, and attaches
// every such connection to the process's default context, which the UI thread runs. There the UI
// thread would read the replies this thread is waiting for (the wait then runs into its time-out)
// and run libatspi's handlers alongside this thread. A new connection appears only while this
// thread's loop dispatches, so moving them back before each iteration and before each job keeps
// the UI thread off them; an element's connection is also checked as the element is used.
// Accessibility thread only.
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
