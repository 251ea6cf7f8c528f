#include "platform/linux/x11/x11_connection.h"

#include <QAbstractEventDispatcher>
#include <QSocketNotifier>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>

namespace ovra::platform {

namespace {

// Xlib's error handler is process-wide; it records the last error instead of exiting.
int lastErrorCode = 0;

int recordError(Display*, XErrorEvent* event) {
    lastErrorCode = event->error_code;
    return 0;
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::open() {
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    return std::unique_ptr<X11Connection>(new X11Connection(display));
}

X11Connection::X11Connection(Display* display)
    : m_display(display), m_root(DefaultRootWindow(display)) {
    XSetErrorHandler(recordError);

    int event = 0, error = 0, opcode = 0;
    if (XQueryExtension(m_display, "XInputExtension", &opcode, &event, &error)) {
        int major = 2, minor = 2;
        if (XIQueryVersion(m_display, &major, &minor) == Success)
            m_xinputOpcode = opcode;
    }
    if (XFixesQueryExtension(m_display, &event, &error))
        m_xfixesEventBase = event;

    m_notifier =
        std::make_unique<QSocketNotifier>(ConnectionNumber(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &X11Connection::readSocket);
    // Replies to our own requests can bring events along; Xlib then holds them in its queue
    // and the socket stays quiet, so the queue is looked at before the loop sleeps.
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (XEventsQueued(m_display, QueuedAlready) > 0)
                processEvents();
        });
    }
}

X11Connection::~X11Connection() {
    m_notifier.reset();
    XCloseDisplay(m_display);
}

Atom X11Connection::atom(const char* name) {
    const QByteArray key(name);
    auto found = m_atoms.constFind(key);
    if (found != m_atoms.constEnd())
        return *found;
    const Atom value = XInternAtom(m_display, name, False);
    m_atoms.insert(key, value);
    return value;
}

int X11Connection::addListener(Listener listener) {
    const int id = m_nextListener++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void X11Connection::removeListener(int id) {
    m_listeners.erase(id);
}

void X11Connection::readSocket() {
    processEvents();
}

void X11Connection::processEvents() {
    if (m_dispatching)
        return; // a listener's own round trip brought more; the outer loop reads on
    m_dispatching = true;
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        const bool cookie = event.type == GenericEvent && XGetEventData(m_display, &event.xcookie);
        std::vector<int> ids;
        ids.reserve(m_listeners.size());
        for (const auto& [id, listener] : m_listeners)
            ids.push_back(id);
        for (const int id : ids) {
            // A listener may remove others (or itself) while the event is handed round.
            const auto it = m_listeners.find(id);
            if (it == m_listeners.end())
                continue;
            const Listener listener = it->second;
            listener(event);
        }
        if (cookie)
            XFreeEventData(m_display, &event.xcookie);
    }
    m_dispatching = false;
}

int X11Connection::trapErrors(const std::function<void()>& requests) {
    XSync(m_display, False);
    lastErrorCode = 0;
    requests();
    XSync(m_display, False);
    return std::exchange(lastErrorCode, 0);
}

Window X11Connection::windowProperty(Window window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window result = 0;
    if (XGetWindowProperty(m_display, window, atom(name), 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1 && format == 32) {
        result = *reinterpret_cast<Window*>(data);
    }
    if (data)
        XFree(data);
    return result;
}

long X11Connection::cardinalProperty(Window window, const char* name, long fallback) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long result = fallback;
    if (XGetWindowProperty(m_display, window, atom(name), 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data && count == 1 && format == 32) {
        result = *reinterpret_cast<long*>(data);
    }
    if (data)
        XFree(data);
    return result;
}

std::pair<QString, QString> X11Connection::windowClass(Window window) {
    XClassHint hint{nullptr, nullptr};
    std::pair<QString, QString> result;
    if (XGetClassHint(m_display, window, &hint)) {
        if (hint.res_name)
            result.first = QString::fromLocal8Bit(hint.res_name);
        if (hint.res_class)
            result.second = QString::fromLocal8Bit(hint.res_class);
    }
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return result;
}

} // namespace ovra::platform
