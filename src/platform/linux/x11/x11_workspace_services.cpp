#include "platform/linux/x11/x11_workspace_services.h"

#include "ovra/deployment_config.h"
#include "platform/linux/x11/x11_panel_window.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <unistd.h>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace ovra::platform {

namespace {

QString processExecutable(qint32 pid) {
    const QString proc = u"/proc/" + QString::number(pid);
    const QString target = QFileInfo(proc + u"/exe").symLinkTarget();
    if (!target.isEmpty())
        return target;
    // Another user's process: its executable link is closed to us, its command name is not.
    QFile comm(proc + u"/comm");
    if (comm.open(QIODevice::ReadOnly))
        return QString::fromUtf8(comm.readAll()).trimmed();
    return {};
}

// The desktop's accessibility settings, by desktop: program and arguments.
struct SettingsTool {
    const char* program;
    QStringList arguments;
};

} // namespace

X11WorkspaceServices::X11WorkspaceServices(X11Connection& connection, DesktopEntries entries)
    : m_connection(connection), m_entries(std::move(entries)) {}

X11WorkspaceServices::~X11WorkspaceServices() {
    m_goneWatches.clear();
    if (m_listener)
        m_connection.removeListener(m_listener);
}

qint32 X11WorkspaceServices::windowPid(Window window) {
    if (!window)
        return 0;
    long pid = m_connection.cardinalProperty(window, "_NET_WM_PID", 0);
    if (pid <= 0) {
        // Toolkits put the process on the group leader; their other windows point to it.
        const Window leader = m_connection.windowProperty(window, "WM_CLIENT_LEADER");
        if (leader && leader != window)
            pid = m_connection.cardinalProperty(leader, "_NET_WM_PID", 0);
    }
    if (pid > 0)
        return static_cast<qint32>(pid);
    // A toolkit's hidden windows (the clipboard's and the selection's owners) carry no process.
    // Window ids hold their client's number in the high bits: 2^18 ids per client at the most
    // crowded server setting (2048 clients), so a window sharing those bits with a managed
    // window belongs to the same client, unless a client allocated over 2^18 ids.
    const Window client = window >> 18;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(m_connection.display(), m_connection.root(),
                           m_connection.atom("_NET_CLIENT_LIST"), 0, 4096, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const auto* windows = reinterpret_cast<const Window*>(data);
        for (unsigned long i = 0; i < count && pid <= 0; ++i) {
            if (windows[i] >> 18 == client && windows[i] != window) {
                pid = m_connection.cardinalProperty(windows[i], "_NET_WM_PID", 0);
            }
        }
    }
    if (data)
        XFree(data);
    return pid > 0 ? static_cast<qint32>(pid) : 0;
}

Window X11WorkspaceServices::windowOfProcess(qint32 pid) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window found = 0;
    if (XGetWindowProperty(m_connection.display(), m_connection.root(),
                           m_connection.atom("_NET_CLIENT_LIST"), 0, 4096, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const auto* windows = reinterpret_cast<const Window*>(data);
        for (unsigned long i = 0; i < count && !found; ++i) {
            if (windowPid(windows[i]) == pid)
                found = windows[i];
        }
    }
    if (data)
        XFree(data);
    return found;
}

std::optional<WindowArea> X11WorkspaceServices::windowArea(qint32 pid) {
    Window window = activeWindow();
    if (!window || windowPid(window) != pid)
        window = windowOfProcess(pid);
    Display* display = m_connection.display();
    XWindowAttributes attributes;
    if (!window || pid <= 0 || !XGetWindowAttributes(display, window, &attributes))
        return std::nullopt;
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, window, m_connection.root(), 0, 0, &x, &y, &child))
        return std::nullopt;
    WindowArea result{QRect(x, y, attributes.width, attributes.height), std::nullopt};
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, m_connection.atom("_GTK_FRAME_EXTENTS"), 0, 4, False,
                           XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
        data && format == 32 && count == 4) {
        const auto* values = reinterpret_cast<const long*>(data); // left, right, top, bottom
        result.clientSideBorder =
            QMargins(int(values[0]), int(values[2]), int(values[1]), int(values[3]));
    }
    if (data)
        XFree(data);
    return result;
}

std::optional<RunningApplication> X11WorkspaceServices::describe(qint32 pid, Window window) {
    return runningApplication(pid, window ? m_connection.windowClass(window).second : QString());
}

std::optional<RunningApplication>
X11WorkspaceServices::runningApplication(qint32 pid, const QString& windowClass) {
    if (pid <= 0 || !QFileInfo::exists(u"/proc/" + QString::number(pid)))
        return std::nullopt;
    RunningApplication app;
    app.pid = pid;
    if (pid == static_cast<qint32>(::getpid())) {
        // The program's own windows carry the identity it filters itself out by.
        app.appId = QString::fromUtf8(ovra::deployment::appId);
        app.name = QGuiApplication::applicationDisplayName();
        return app;
    }
    const QString executable = processExecutable(pid);
    if (const auto entry = m_entries.find(executable, windowClass)) {
        app.appId = entry->id;
        app.name = entry->name;
        return app;
    }
    app.appId = QFileInfo(executable).fileName();
    app.name = !windowClass.isEmpty() ? windowClass : app.appId;
    return app;
}

ClipboardChords X11WorkspaceServices::clipboardChordsOfActiveWindow() {
    const Window window = activeWindow();
    if (!window)
        return ClipboardChords::control;
    const QString windowClass = m_connection.windowClass(window).second;
    const qint32 pid = windowPid(window);
    const auto entry = pid > 0 ? m_entries.find(processExecutable(pid), windowClass) : std::nullopt;
    return clipboardChordsFor(windowClass, entry && entry->terminalEmulator);
}

std::optional<RunningApplication> X11WorkspaceServices::frontmostApplication() {
    if (m_listener && m_frontmost)
        return *m_frontmost;
    std::optional<RunningApplication> front = applicationOwning(activeWindow());
    if (m_listener)
        m_frontmost = front;
    return front;
}

std::optional<WindowId> X11WorkspaceServices::frontmostWindow() {
    const Window window = activeWindow();
    if (!window)
        return std::nullopt;
    return WindowId(window);
}

Window X11WorkspaceServices::activeWindow() {
    return m_connection.windowProperty(m_connection.root(), "_NET_ACTIVE_WINDOW");
}

std::optional<RunningApplication> X11WorkspaceServices::applicationOwning(Window window) {
    if (!window)
        return std::nullopt;
    return describe(windowPid(window), window);
}

std::optional<RunningApplication> X11WorkspaceServices::runningApplication(qint32 pid) {
    if (pid <= 0)
        return std::nullopt;
    return describe(pid, windowOfProcess(pid));
}

void X11WorkspaceServices::listenToRoot() {
    if (m_listener)
        return;
    XWindowAttributes attributes;
    XGetWindowAttributes(m_connection.display(), m_connection.root(), &attributes);
    XSelectInput(m_connection.display(), m_connection.root(),
                 attributes.your_event_mask | PropertyChangeMask);
    XFlush(m_connection.display());
    m_listener = m_connection.addListener([this](XEvent& event) { onEvent(event); });
    m_lastReportedWindow = activeWindow();
}

Subscription X11WorkspaceServices::observeActivation(ActivationHandler handler) {
    listenToRoot();
    const std::uint64_t id = m_nextToken++;
    m_observers.emplace(id, std::move(handler));
    return Subscription([this, id] { m_observers.erase(id); });
}

Subscription X11WorkspaceServices::observeApplicationGone(qint32 pid,
                                                          std::function<void()> handler) {
    if (pid <= 0 || !handler)
        return {};
    listenToRoot();
    const std::uint64_t id = m_nextToken++;
    GoneWatch watch;
    watch.pid = pid;
    watch.hadWindow = windowOfProcess(pid) != 0;
    watch.handler = std::move(handler);
    // Reported as a step of its own: the handler may remove this watch and its notifier.
    QObject* context = m_context.get();
    watch.exit = ProcessExitWatch::start(pid, [this, context, id] {
        QTimer::singleShot(0, context, [this, id] { reportGone(id); });
    });
    if (!watch.exit && !watch.hadWindow)
        return {};
    m_goneWatches.emplace(id, std::move(watch));
    return Subscription([this, id] { m_goneWatches.erase(id); });
}

void X11WorkspaceServices::reportGone(std::uint64_t id) {
    const auto it = m_goneWatches.find(id);
    if (it == m_goneWatches.end())
        return;
    const std::function<void()> handler = std::move(it->second.handler);
    m_goneWatches.erase(it);
    if (handler)
        handler();
}

void X11WorkspaceServices::onClientListChanged() {
    std::vector<std::uint64_t> gone;
    for (const auto& [id, watch] : m_goneWatches) {
        if (watch.hadWindow && !windowOfProcess(watch.pid))
            gone.push_back(id);
    }
    for (const std::uint64_t id : gone)
        reportGone(id);
}

void X11WorkspaceServices::onEvent(XEvent& event) {
    if (event.type != PropertyNotify || event.xproperty.window != m_connection.root())
        return;
    if (event.xproperty.atom == m_connection.atom("_NET_CLIENT_LIST")) {
        if (!m_goneWatches.empty())
            onClientListChanged();
        return;
    }
    if (event.xproperty.atom == m_connection.atom("_NET_ACTIVE_WINDOW")) {
        m_frontmost.reset();
        onActiveWindowChanged();
    }
}

void X11WorkspaceServices::onActiveWindowChanged() {
    // The property is read once: the window manager passes the focus through "none" on its way,
    // and a second read could already name a window the first check never saw.
    const Window window = activeWindow();
    // Our panel taking the focus for its question field is no application becoming active: the
    // user is still working in the application whose selection the panel shows.
    if (isNonActivatingPanel(m_connection, window))
        return;
    if (window)
        m_lastActiveWindow = window;
    // Passing through the desktop (no window) activates nothing. Another window of the same
    // application does count: what the user sees and types into has changed.
    if (!window || window == m_lastReportedWindow)
        return;
    const auto active = applicationOwning(window);
    if (!active)
        return;
    m_lastReportedWindow = window;
    std::vector<std::uint64_t> tokens;
    for (const auto& [id, handler] : m_observers)
        tokens.push_back(id);
    for (const std::uint64_t id : tokens) {
        const auto it = m_observers.find(id);
        if (it == m_observers.end())
            continue;
        const ActivationHandler handler = it->second;
        handler(*active);
    }
}

bool X11WorkspaceServices::activateApplication(qint32 pid) {
    if (pid <= 0)
        return false;
    const Window window = m_lastActiveWindow && windowPid(m_lastActiveWindow) == pid
                              ? m_lastActiveWindow
                              : windowOfProcess(pid);
    if (!window)
        return false;
    requestActivation(window);
    return true;
}

bool X11WorkspaceServices::activateWindow(qint32 pid, WindowId window) {
    XWindowAttributes attributes;
    // A window that closed, or whose id now belongs to another client, is not the one meant.
    if (pid <= 0 || !window ||
        !XGetWindowAttributes(m_connection.display(), Window(window), &attributes) ||
        windowPid(Window(window)) != pid)
        return false;
    requestActivation(Window(window));
    return true;
}

void X11WorkspaceServices::requestActivation(Window window) {
    // EWMH activation as a pager asks for it (source 2): the user's own action, which window
    // managers do not refuse as focus stealing.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = m_connection.atom("_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    event.xclient.data.l[2] = static_cast<long>(activeWindow());
    XSendEvent(m_connection.display(), m_connection.root(), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(m_connection.display());
}

bool X11WorkspaceServices::openAccessibilitySettings() {
    const SettingsTool tools[] = {
        {"gnome-control-center", {QStringLiteral("universal-access")}},
        {"systemsettings", {QStringLiteral("kcm_access")}},
        {"xfce4-accessibility-settings", {}},
        {"mate-at-properties", {}},
        {"cinnamon-settings", {QStringLiteral("accessibility")}},
    };
    for (const SettingsTool& tool : tools) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool.program));
        if (!program.isEmpty() && QProcess::startDetached(program, tool.arguments))
            return true;
    }
    return false;
}

qint32 X11WorkspaceServices::windowOwnerAt(QPointF point) {
    Display* display = m_connection.display();
    const int x = qRound(point.x());
    const int y = qRound(point.y());
    // Top-level windows come bottom to top; the first mapped one holding the point from the top
    // is the window frame shown there, the client with WM_STATE is inside it.
    Window rootReturn = 0, parentReturn = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, m_connection.root(), &rootReturn, &parentReturn, &children, &count)) {
        return 0;
    }
    Window top = 0;
    for (unsigned int i = count; i-- > 0 && !top;) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes))
            continue;
        if (attributes.map_state != IsViewable || attributes.c_class == InputOnly)
            continue;
        if (x >= attributes.x && y >= attributes.y && x < attributes.x + attributes.width &&
            y < attributes.y + attributes.height) {
            top = children[i];
        }
    }
    if (children)
        XFree(children);
    if (!top)
        return 0;
    if (const qint32 pid = windowPid(top))
        return pid;

    // Depth-first below the frame for the client window (the one with WM_STATE).
    const Atom wmState = m_connection.atom("WM_STATE");
    std::vector<Window> pending{top};
    for (int visited = 0; !pending.empty() && visited < 64; ++visited) {
        const Window window = pending.back();
        pending.pop_back();
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType, &type, &format,
                           &items, &after, &data);
        if (data)
            XFree(data);
        if (type != None)
            return windowPid(window);
        if (XQueryTree(display, window, &rootReturn, &parentReturn, &children, &count)) {
            for (unsigned int i = 0; i < count; ++i)
                pending.push_back(children[i]);
            if (children)
                XFree(children);
        }
    }
    return 0;
}

} // namespace ovra::platform
