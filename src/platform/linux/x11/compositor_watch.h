#pragma once

#include <functional>

namespace ovra::platform {

class X11Connection;

// Whether a compositing manager runs on the default screen (someone owns _NET_WM_CM_Sn), followed
// as it starts and stops through XFixes selection-owner events. Without one, translucent pixels
// show as solid black, so windows must draw opaque. Main thread only.
class CompositorWatch {
public:
    using Handler = std::function<void(bool running)>;

    // `onChange` is called each time the answer changes (not for the first answer).
    CompositorWatch(X11Connection& connection, Handler onChange);
    ~CompositorWatch();
    CompositorWatch(const CompositorWatch&) = delete;
    CompositorWatch& operator=(const CompositorWatch&) = delete;

    bool isRunning() const { return m_running; }

private:
    bool readOwner();

    X11Connection& m_connection;
    Handler m_onChange;
    unsigned long m_selection = 0;
    int m_listener = 0;
    bool m_running = false;
};

} // namespace ovra::platform
