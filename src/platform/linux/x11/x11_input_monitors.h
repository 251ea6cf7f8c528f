#pragma once

#include "capture/input_monitors.h"
#include "platform/linux/x11/x11_connection.h"

#include <QObject>
#include <array>
#include <map>
#include <set>

namespace ovra::platform {

// Global monitors read the X server's raw button and key events (XInput 2), which every client
// may watch without taking them from anyone; the held modifiers are followed from the same
// stream, so each event carries the state it was sent with. Local monitors filter this program's
// own Qt events.
class X11InputMonitors final : public QObject, public InputMonitors {
    Q_OBJECT
public:
    explicit X11InputMonitors(X11Connection& connection);
    ~X11InputMonitors() override;

    ObserverToken addGlobalMonitor(InputEventTypes types, Handler handler) override;
    ObserverToken addLocalMonitor(InputEventTypes types, Handler handler) override;
    void removeMonitor(ObserverToken token) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Monitor {
        InputEventTypes types;
        Handler handler;
        bool global = true;
    };
    bool startRawEvents();
    void onEvent(XEvent& event);
    void readModifierMapping();
    Modifiers heldModifiers() const;
    void deliver(bool global, const InputEvent& event);
    bool ownsInput(bool keyboard) const;

    X11Connection& m_connection;
    int m_listener = 0;
    bool m_filterInstalled = false;
    std::map<std::uint64_t, Monitor> m_monitors;
    std::uint64_t m_nextToken = 1;
    // X modifier index (Shift, Lock, Control, Mod1..Mod5) of each key code that is a modifier.
    std::array<int, 256> m_modifierOfKey{};
    std::set<int> m_heldModifierKeys;
};

} // namespace ovra::platform
