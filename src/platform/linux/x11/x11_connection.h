#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

// The Xlib types this interface names, declared as Xlib does so that users of it need not pull
// in Xlib's macros (KeyPress, None, Status...), which clash with Qt's names.
typedef struct _XDisplay Display;
typedef union _XEvent XEvent;
typedef unsigned long Window;
typedef unsigned long Atom;

namespace ovra::platform {

// This program's own Xlib connection to the X server, read on the main thread: a QSocketNotifier
// wakes it when the server writes, and events Xlib queued during other calls are handled before
// the event loop sleeps again. Services subscribe to the events they need.
class X11Connection : public QObject {
    Q_OBJECT
public:
    using Listener = std::function<void(XEvent&)>;

    // Connects to $DISPLAY; nullptr when there is no X server to talk to.
    static std::unique_ptr<X11Connection> open();
    ~X11Connection() override;

    Display* display() const { return m_display; }
    Window root() const { return m_root; }
    Atom atom(const char* name);
    // The major opcode of XInputExtension 2.2, or -1 when the server lacks it.
    int xinputOpcode() const { return m_xinputOpcode; }
    // The first event code of XFixes, or -1 when the server lacks it.
    int xfixesEventBase() const { return m_xfixesEventBase; }

    // Calls `listener` with every event read from now on; returns an id for removeListener().
    int addListener(Listener listener);
    void removeListener(int id);
    // Handles every event already received (the tests call it while they wait).
    void processEvents();

    // Runs `requests` and reports the X error code they caused (0 for none). Errors outside such
    // a call are ignored rather than ending the process, as Xlib would by default.
    int trapErrors(const std::function<void()>& requests);

    // Window properties.
    Window windowProperty(Window window, const char* name);
    long cardinalProperty(Window window, const char* name, long fallback = -1);
    // WM_CLASS: the instance name and the class name.
    std::pair<QString, QString> windowClass(Window window);

private:
    explicit X11Connection(Display* display);
    void readSocket();

    Display* m_display = nullptr;
    Window m_root = 0;
    int m_xinputOpcode = -1;
    int m_xfixesEventBase = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::map<int, Listener> m_listeners;
    int m_nextListener = 1;
    bool m_dispatching = false;
    QHash<QByteArray, Atom> m_atoms;
};

} // namespace ovra::platform
