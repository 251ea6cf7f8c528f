#include "platform/linux/session/atspi_accessibility_thread.h"

#include "platform/linux/atspi/application_connections.h"
#include "platform/linux/atspi/atspi_accessibility_services.h"
#include "platform/linux/atspi/atspi_element.h"
#include "platform/linux/session/pixel_scaling.h"
#include "platform/linux/x11/x11_connection.h"
#include "platform/linux/x11/x11_workspace_services.h"
#include "support/logging.h"

#include <QMetaObject>
#include <optional>

OVRA_LOGGING_CATEGORY("ovra.platform.atspi");

namespace ovra::platform {

// Everything that must be created, used and destroyed on the accessibility thread. The window
// system is asked over a connection of its own: the UI thread's is not shared. In a Wayland
// session X11 knows nothing of the applications' windows: the compositor's report places them.
struct AtspiAccessibilityThread::Resources {
    Resources(DevicePixels initialPixels, std::shared_ptr<const ActiveWindowStore> wayland)
        : pixels(std::move(initialPixels)), waylandWindows(std::move(wayland)) {
        // libatspi starts on the default context; its connection then moves to this thread's.
        atspi_init();
        GMainContext* context = g_main_context_get_thread_default();
        if (!context)
            qCWarning(lc) << "the accessibility thread runs no GLib loop of its own (QT_NO_GLIB?):"
                             " no application's events will be heard";
        atspi_set_main_context(context);
        atspi_set_timeout(perCallTimeoutMs, startupGraceMs);
        AtspiElementHandle::setHomeContext(context);
        connections.emplace(context);
    }
    ~Resources() { AtspiElementHandle::setHomeContext(nullptr); }

    DevicePixels pixels;
    std::shared_ptr<const ActiveWindowStore> waylandWindows;
    std::optional<ApplicationConnections> connections;
    std::unique_ptr<X11Connection> x11 = waylandWindows ? nullptr : X11Connection::open();
    std::unique_ptr<X11WorkspaceServices> windows =
        x11 ? std::make_unique<X11WorkspaceServices>(*x11, DesktopEntries(QStringList())) : nullptr;
    AtspiAccessibilityServices services{
        [this](QPointF point) { return windows ? windows->windowOwnerAt(point) : 0; },
        [this](qint32 pid) -> std::optional<WindowArea> {
            if (waylandWindows)
                return waylandWindows->areaOf(pid);
            return windows ? windows->windowArea(pid) : std::nullopt;
        },
        waylandWindows ? AtspiAccessibilityServices::Extents::windowRelative
                       : AtspiAccessibilityServices::Extents::asToolkitsReport,
        // AT-SPI answers in device pixels; the capture works in Qt's logical ones.
        scalingBy([this] { return pixels; })};
    AccessibilityWorker worker{services};
};

AtspiAccessibilityThread::AtspiAccessibilityThread(
    DevicePixels pixels, std::shared_ptr<const ActiveWindowStore> waylandWindows)
    : m_initialPixels(std::move(pixels)), m_waylandWindows(std::move(waylandWindows)) {
    m_thread.setObjectName(QStringLiteral("accessibility"));
    m_anchor = new QObject;
    m_anchor->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_anchor, &QObject::deleteLater);
    m_thread.start();
    // Listening starts now, so that the first capture already knows the focus and the selections.
    post([](AccessibilityWorker& worker) { worker.accessibility().lastSelectionEvent(0); }, [] {});
}

AtspiAccessibilityThread::~AtspiAccessibilityThread() {
    // The resources go on the thread that made them, after the job running now.
    QMetaObject::invokeMethod(
        m_anchor, [this] { m_resources.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

AtspiAccessibilityThread::Resources& AtspiAccessibilityThread::resources() {
    if (!m_resources)
        m_resources = std::make_unique<Resources>(m_initialPixels, m_waylandWindows);
    return *m_resources;
}

void AtspiAccessibilityThread::post(Job job, std::function<void()> done) {
    QObject* home = &m_home;
    QMetaObject::invokeMethod(
        m_anchor,
        [this, home, job = std::move(job), done = std::move(done)]() mutable {
            Resources& here = resources();
            here.connections->bringHome();
            job(here.worker);
            QMetaObject::invokeMethod(home, std::move(done), Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void AtspiAccessibilityThread::setDevicePixels(DevicePixels pixels) {
    QMetaObject::invokeMethod(
        m_anchor,
        [this, pixels = std::move(pixels)]() mutable { resources().pixels = std::move(pixels); },
        Qt::QueuedConnection);
}

namespace {

// A listener for the accessibility thread that hands each process on to `handler` on the thread
// of `home`.
std::function<void(qint32)> deliveredTo(QObject* home, std::function<void(qint32)> handler) {
    return [home, handler = std::move(handler)](qint32 pid) {
        QMetaObject::invokeMethod(
            home, [handler, pid] { handler(pid); }, Qt::QueuedConnection);
    };
}

} // namespace

void AtspiAccessibilityThread::setOnSelectionChanged(std::function<void(qint32 pid)> handler) {
    QMetaObject::invokeMethod(
        m_anchor,
        [this, listener = deliveredTo(&m_home, std::move(handler))]() mutable {
            resources().services.setSelectionListener(std::move(listener));
        },
        Qt::QueuedConnection);
}

void AtspiAccessibilityThread::setOnWindowActivated(std::function<void(qint32 pid)> handler) {
    QMetaObject::invokeMethod(
        m_anchor,
        [this, listener = deliveredTo(&m_home, std::move(handler))]() mutable {
            resources().services.setActivationListener(std::move(listener));
        },
        Qt::QueuedConnection);
}

} // namespace ovra::platform
