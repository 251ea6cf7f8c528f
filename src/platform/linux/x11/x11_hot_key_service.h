#pragma once

#include "platform/hot_key_service.h"
#include "platform/linux/x11/x11_connection.h"

#include <memory>

namespace ovra::platform {

// A system-wide hot key grabbed on the root window (XGrabKey). The grab is repeated with Caps
// Lock and Num Lock on, since X matches the modifier state exactly; a combination another client
// already holds makes the server refuse, and nothing stays grabbed. After a keyboard mapping
// change the key is grabbed again under its new key code.
class X11HotKeyService final : public HotKeyService {
public:
    explicit X11HotKeyService(X11Connection& connection);
    ~X11HotKeyService() override;
    X11HotKeyService(const X11HotKeyService&) = delete;
    X11HotKeyService& operator=(const X11HotKeyService&) = delete;

    bool registerHotKey(QKeyCombination keys, std::function<void()> onPressed) override;
    void unregisterHotKey() override;

private:
    struct Grab {
        unsigned long keysym = 0;
        unsigned int modifiers = 0;
        int keyCode = 0; // the X key code grabbed
        std::function<void()> onPressed;
        bool down = false; // a held key repeats; one press is one call
    };
    bool grab(Grab& grab);
    void ungrab(const Grab& grab);
    unsigned int numLockMask();
    void onEvent(XEvent& event);

    X11Connection& m_connection;
    std::unique_ptr<Grab> m_grab;
    int m_listener = 0;
};

} // namespace ovra::platform
