#include "platform/linux/x11/x11_hot_key_service.h"

#include "platform/linux/key_mapping.h"
#include "support/logging.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

OVRA_LOGGING_CATEGORY("ovra.platform.x11");

namespace ovra::platform {

X11HotKeyService::X11HotKeyService(X11Connection& connection) : m_connection(connection) {}

X11HotKeyService::~X11HotKeyService() {
    unregisterHotKey();
}

unsigned int X11HotKeyService::numLockMask() {
    Display* display = m_connection.display();
    const ::KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    unsigned int mask = 0;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return Mod2Mask;
    for (int modifier = 0; modifier < 8 && numLock; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == numLock) {
                mask = 1u << modifier;
            }
        }
    }
    XFreeModifiermap(map);
    return mask ? mask : Mod2Mask;
}

bool X11HotKeyService::grab(Grab& hotKey) {
    Display* display = m_connection.display();
    hotKey.keyCode = XKeysymToKeycode(display, hotKey.keysym);
    if (!hotKey.keyCode)
        return false;
    const unsigned int numLock = numLockMask();
    const unsigned int variants[] = {0, LockMask, numLock, LockMask | numLock};
    const int error = m_connection.trapErrors([&] {
        for (const unsigned int extra : variants) {
            XGrabKey(display, hotKey.keyCode, hotKey.modifiers | extra, m_connection.root(), False,
                     GrabModeAsync, GrabModeAsync);
        }
    });
    if (error != 0) {
        // Some variants may have been granted before the refusal; none may stay.
        ungrab(hotKey);
        return false;
    }
    return true;
}

void X11HotKeyService::ungrab(const Grab& hotKey) {
    if (!hotKey.keyCode)
        return;
    Display* display = m_connection.display();
    const unsigned int numLock = numLockMask();
    const unsigned int variants[] = {0, LockMask, numLock, LockMask | numLock};
    m_connection.trapErrors([&] {
        for (const unsigned int extra : variants) {
            XUngrabKey(display, hotKey.keyCode, hotKey.modifiers | extra, m_connection.root());
        }
    });
}

bool X11HotKeyService::registerHotKey(QKeyCombination keys, std::function<void()> onPressed) {
    if (m_grab || !onPressed)
        return false;
    const auto keysym = KeyMapping::keysym(keys.key());
    const auto modifiers = KeyMapping::modifierState(keys.keyboardModifiers());
    if (!keysym || !modifiers)
        return false;

    auto hotKey = std::make_unique<Grab>();
    hotKey->keysym = *keysym;
    hotKey->modifiers = *modifiers;
    hotKey->onPressed = std::move(onPressed);
    if (!grab(*hotKey)) {
        qCWarning(lc) << "the shortcut is taken by another program; use ovra --capture";
        return false;
    }
    // Auto-repeat then sends presses without releases between them, so a held key is one press.
    XkbSetDetectableAutoRepeat(m_connection.display(), True, nullptr);
    m_grab = std::move(hotKey);
    if (!m_listener) {
        m_listener = m_connection.addListener([this](XEvent& event) { onEvent(event); });
    }
    return true;
}

void X11HotKeyService::unregisterHotKey() {
    if (m_listener) {
        m_connection.removeListener(m_listener);
        m_listener = 0;
    }
    if (m_grab) {
        ungrab(*m_grab);
        m_grab.reset();
    }
}

void X11HotKeyService::onEvent(XEvent& event) {
    if (!m_grab)
        return;
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        if (event.xmapping.request == MappingPointer)
            return;
        // The key may sit on another key code now, and Num Lock on another modifier.
        ungrab(*m_grab);
        if (!grab(*m_grab))
            m_grab->keyCode = 0;
        return;
    }
    if (event.type != KeyPress && event.type != KeyRelease)
        return;
    if (static_cast<int>(event.xkey.keycode) != m_grab->keyCode)
        return;
    const unsigned int relevant = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
    if (event.type == KeyRelease) {
        m_grab->down = false;
        return;
    }
    if ((event.xkey.state & relevant) != m_grab->modifiers || m_grab->down)
        return;
    m_grab->down = true;
    const std::function<void()> onPressed = m_grab->onPressed;
    onPressed();
}

} // namespace ovra::platform
