#pragma once

#include "platform/subscription.h"

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace ovra {

// A top-level window as the window system names it (an X11 window id).
using WindowId = quint64;

// A running application as the desktop knows it.
struct RunningApplication {
    qint32 pid = 0;
    QString appId; // desktop-file id, else executable name; "" when unknown
    QString name;  // display name; "" when unknown

    bool operator==(const RunningApplication&) const = default;
};

// The desktop's applications and its notion of the active one. Main thread only.
class WorkspaceServices {
public:
    using ActivationHandler = std::function<void(const RunningApplication&)>;

    virtual ~WorkspaceServices() = default;

    // The application that owns the active window; nothing when no window is active.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // The active window itself; nothing when none is active or the desktop names no windows (a
    // Wayland compositor's report names the process only).
    virtual std::optional<WindowId> frontmostWindow() = 0;
    // The running application with process `pid`; nothing when there is none.
    virtual std::optional<RunningApplication> runningApplication(qint32 pid) = 0;

    // While the subscription lives, calls `handler` on the main thread each time another
    // application (this one included), or another window of the active one, becomes active (where
    // windows are told apart); an empty subscription when switches cannot be watched.
    virtual Subscription observeActivation(ActivationHandler handler) = 0;
    // While the subscription lives, calls `handler` once on the main thread when process `pid`
    // exits or its last window goes; an empty subscription when that cannot be watched.
    virtual Subscription observeApplicationGone(qint32 pid, std::function<void()> handler) = 0;

    // Asks the window manager to give the keyboard to the window of process `pid` that was
    // active last (else its first window); false when the process shows no window. The switch
    // happens later, if at all: watch frontmostApplication().
    virtual bool activateApplication(qint32 pid) = 0;
    // Asks the window manager to give the keyboard to `window`, when it is still a window of
    // process `pid`; false otherwise. Later, if at all, as above: watch frontmostWindow().
    virtual bool activateWindow(qint32 pid, WindowId window) = 0;

    // Opens the desktop's accessibility settings; false when the desktop has none to open.
    virtual bool openAccessibilitySettings() = 0;
};

} // namespace ovra
