#include "platform/linux/atspi/atspi_element.h"

#include "platform/linux/atspi/application_connections.h"

#include <atomic>
#include <cstring>

namespace ovra::platform {

namespace {
std::atomic<GMainContext*> homeContext{nullptr};
} // namespace

void AtspiElementHandle::setHomeContext(GMainContext* context) {
    homeContext.store(context);
}

AtspiElementHandle::AtspiElementHandle(AtspiAccessible* accessible, Ownership ownership)
    : m_accessible(accessible) {
    if (ownership == Ownership::Retain)
        g_object_ref(m_accessible);
}

AtspiElementHandle::~AtspiElementHandle() {
    GMainContext* home = homeContext.load();
    if (home && !g_main_context_is_owner(home)) {
        // Releasing the last reference updates libatspi's caches: only its own thread may.
        g_main_context_invoke_full(
            home, G_PRIORITY_DEFAULT,
            [](gpointer accessible) {
                g_object_unref(accessible);
                return G_SOURCE_REMOVE;
            },
            m_accessible, nullptr);
        return;
    }
    g_object_unref(m_accessible);
}

bool AtspiElementHandle::sameElement(const ElementHandle& other) const {
    const auto* theirs = dynamic_cast<const AtspiElementHandle*>(&other);
    if (!theirs)
        return false;
    if (theirs->m_accessible == m_accessible)
        return true;
    const AtspiObject* a = ATSPI_OBJECT(m_accessible);
    const AtspiObject* b = ATSPI_OBJECT(theirs->m_accessible);
    if (!a->app || !b->app || !a->app->bus_name || !b->app->bus_name || !a->path || !b->path) {
        return false;
    }
    return std::strcmp(a->app->bus_name, b->app->bus_name) == 0 &&
           std::strcmp(a->path, b->path) == 0;
}

AccessibleElement AtspiElementHandle::adopt(AtspiAccessible* accessible) {
    if (!accessible)
        return {};
    return AccessibleElement(
        std::make_shared<const AtspiElementHandle>(accessible, Ownership::Adopt));
}

AtspiAccessible* AtspiElementHandle::of(const AccessibleElement& element) {
    const auto* handle = element.as<AtspiElementHandle>();
    if (!handle)
        return nullptr;
    GMainContext* home = homeContext.load();
    if (home && g_main_context_is_owner(home))
        ApplicationConnections::bringHome(handle->accessible());
    return handle->accessible();
}

} // namespace ovra::platform
