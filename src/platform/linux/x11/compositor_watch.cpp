#include "platform/linux/x11/compositor_watch.h"

#include "platform/linux/x11/x11_connection.h"

#include <QByteArray>

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace ovra::platform {

CompositorWatch::CompositorWatch(X11Connection& connection, Handler onChange)
    : m_connection(connection), m_onChange(std::move(onChange)) {
    Display* display = m_connection.display();
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    m_selection = m_connection.atom(name.constData());
    m_running = readOwner();
    if (m_connection.xfixesEventBase() < 0)
        return;
    XFixesSelectSelectionInput(display, m_connection.root(), m_selection,
                               XFixesSetSelectionOwnerNotifyMask |
                                   XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
    XFlush(display);
    m_listener = m_connection.addListener([this](XEvent& event) {
        if (event.type != m_connection.xfixesEventBase() + XFixesSelectionNotify)
            return;
        const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
        if (notify.selection != m_selection)
            return;
        const bool running = notify.subtype == XFixesSetSelectionOwnerNotify && notify.owner != 0;
        if (running == m_running)
            return;
        m_running = running;
        if (m_onChange)
            m_onChange(running);
    });
}

CompositorWatch::~CompositorWatch() {
    if (m_listener)
        m_connection.removeListener(m_listener);
}

bool CompositorWatch::readOwner() {
    return XGetSelectionOwner(m_connection.display(), m_selection) != 0;
}

} // namespace ovra::platform
