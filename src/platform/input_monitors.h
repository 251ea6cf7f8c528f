#pragma once

#include "platform/subscription.h"

#include <QFlags>
#include <QString>
#include <functional>

namespace ovra {

// Modifier keys held during an input event, as the physical keys on a Linux keyboard.
// (The Command key of other systems' shortcuts is Super here, Option is Alt.)
enum class Modifier : unsigned {
    Shift = 1u << 0,
    Control = 1u << 1,
    Alt = 1u << 2,
    Super = 1u << 3,
};
Q_DECLARE_FLAGS(Modifiers, Modifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(Modifiers)

enum class InputEventType : unsigned {
    LeftMouseDown = 1u << 0,
    LeftMouseUp = 1u << 1,
    KeyDown = 1u << 2,
    KeyUp = 1u << 3,
    // An application reported a changed selection (where the desktop passes on no input, as in
    // Wayland sessions).
    SelectionChanged = 1u << 4,
    // The gesture behind an application's reported selection change has ended: no mouse button,
    // Shift or Control is held any more (where the desktop can tell, as GNOME Shell's extension).
    SelectionSettled = 1u << 5,
};
Q_DECLARE_FLAGS(InputEventTypes, InputEventType)
Q_DECLARE_OPERATORS_FOR_FLAGS(InputEventTypes)

// Virtual key codes of this program (the codes the stored shortcut uses); the platform maps its
// own key codes to them.
namespace KeyCode {
inline constexpr int A = 0;
inline constexpr int C = 8;
inline constexpr int V = 9;
inline constexpr int T = 17;
inline constexpr int Tab = 48;
inline constexpr int Escape = 53;
inline constexpr int PageUp = 116;
inline constexpr int PageDown = 121;
} // namespace KeyCode

// One mouse-button or key event seen by a monitor.
struct InputEvent {
    InputEventType type = InputEventType::LeftMouseUp;
    Modifiers modifiers;
    int keyCode = -1;                    // key events only
    QString charactersIgnoringModifiers; // key events only: the key's text without modifiers
    bool isModifierKey = false;          // key events only: the key is Shift, Ctrl, Alt, Super…
    qint32 pid = 0;                      // selection changes only: the reporting application
};

// Watches input events. Handlers are called on the main thread, never inside the call that
// installs them, and never after their monitor is removed. Monitors only observe: every event
// continues to its target unchanged.
class InputMonitors {
public:
    using Handler = std::function<void(const InputEvent&)>;

    virtual ~InputMonitors() = default;

    // Calls `handler` for each event of the `types` that goes to another application while the
    // subscription lives; an empty one when the platform cannot watch them.
    virtual Subscription addGlobalMonitor(InputEventTypes types, Handler handler) = 0;
    // Calls `handler` for each event of the `types` that goes to this application's own windows
    // while the subscription lives.
    virtual Subscription addLocalMonitor(InputEventTypes types, Handler handler) = 0;
};

} // namespace ovra
