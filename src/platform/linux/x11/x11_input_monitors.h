#pragma once

#include "platform/input_monitors.h"
#include "platform/linux/x11/x11_connection.h"

#include <QObject>
#include <array>
#include <map>

namespace ovra::platform {

// Global monitors read the X server's raw button and key events (XInput 2), which every client
// may watch without taking them from anyone. The held modifiers come from the keyboard's own
// state notifications (XKB): raw releases go missing while a key grab (the shortcut's) is
// active, so modifiers counted from them would stay held. Local monitors filter this program's
// own Qt events.
class X11InputMonitors final : public QObject, public InputMonitors {
    Q_OBJECT
public:
    explicit X11InputMonitors(X11Connection& connection);
    ~X11InputMonitors() override;

    Subscription addGlobalMonitor(InputEventTypes types, Handler handler) override;
    Subscription addLocalMonitor(InputEventTypes types, Handler handler) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Monitor {
        InputEventTypes types;
        Handler handler;
        bool global = true;
    };
    Subscription install(Monitor monitor);
    bool startRawEvents();
    void onEvent(XEvent& event);
    void readModifierMapping();
    void deliver(bool global, const InputEvent& event);
    bool ownsInput(bool keyboard) const;

    X11Connection& m_connection;
    int m_listener = 0;
    bool m_filterInstalled = false;
    std::map<std::uint64_t, Monitor> m_monitors;
    std::uint64_t m_nextToken = 1;
    // X modifier index (Shift, Lock, Control, Mod1..Mod5) of each key code that is a modifier.
    std::array<int, 256> m_modifierOfKey{};
    int m_xkbEventBase = -1;
    unsigned int m_modifierState = 0; // X modifier mask, as of the last key event read
};

} // namespace ovra::platform
