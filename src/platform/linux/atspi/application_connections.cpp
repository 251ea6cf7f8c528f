#include "platform/linux/atspi/application_connections.h"

namespace ovra::platform {

namespace {

// Marks the connections already moved, so each is moved once: libatspi's own check counts a
// reference on every call.
dbus_int32_t homedSlot = -1;
// The context connections are kept on while an instance lives.
GMainContext* homeContext = nullptr;

void moveHome(AtspiAccessible* accessible) {
    AtspiApplication* app = accessible ? ATSPI_OBJECT(accessible)->app : nullptr;
    if (!homeContext || !app || !app->bus || dbus_connection_get_data(app->bus, homedSlot))
        return;
    atspi_dbus_connection_setup_with_g_main(app->bus, homeContext);
    dbus_connection_set_data(app->bus, homedSlot, homeContext, nullptr);
}

struct IterationSource {
    GSource source;
    ApplicationConnections* owner;
};

gboolean prepare(GSource* source, gint* timeout) {
    *timeout = -1;
    reinterpret_cast<IterationSource*>(source)->owner->bringHome();
    return FALSE;
}

gboolean dispatch(GSource*, GSourceFunc, gpointer) {
    return G_SOURCE_CONTINUE;
}

GSourceFuncs iterationFuncs = {prepare, nullptr, dispatch, nullptr, nullptr, nullptr};

} // namespace

ApplicationConnections::ApplicationConnections(GMainContext* home)
    : m_desktop(atspi_get_desktop(0)),
      m_beforeEachIteration(g_source_new(&iterationFuncs, sizeof(IterationSource))) {
    if (dbus_connection_allocate_data_slot(&homedSlot))
        homeContext = home;
    reinterpret_cast<IterationSource*>(m_beforeEachIteration)->owner = this;
    g_source_attach(m_beforeEachIteration, home);
}

ApplicationConnections::~ApplicationConnections() {
    g_source_destroy(m_beforeEachIteration);
    g_source_unref(m_beforeEachIteration);
    homeContext = nullptr;
    if (m_desktop)
        g_object_unref(m_desktop);
}

void ApplicationConnections::bringHome() {
    if (!m_desktop || !m_desktop->children)
        return;
    for (guint i = 0; i < m_desktop->children->len; ++i)
        moveHome(static_cast<AtspiAccessible*>(g_ptr_array_index(m_desktop->children, i)));
}

void ApplicationConnections::bringHome(AtspiAccessible* accessible) {
    moveHome(accessible);
}

} // namespace ovra::platform
