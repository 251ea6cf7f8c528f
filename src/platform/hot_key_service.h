#pragma once

#include <QtGlobal>
#include <functional>

namespace ovra {

// The desktop's system-wide hot-key facility. A combination is given in the stored form: a mac
// virtual key code and Carbon modifier bits (command 0x100, shift 0x200, option 0x800, control
// 0x1000); the implementation maps it to its own keys (on X11: Command→Super, Option→Alt,
// Control→Ctrl, Shift→Shift). One service holds at most one combination. Main thread only.
class HotKeyService {
public:
    virtual ~HotKeyService() = default;

    // Grabs the combination and calls `onPressed` on the main thread at every press; false, with
    // nothing held, when the desktop refuses it (taken, invalid, unmappable) or one is held
    // already. Where a desktop helper holds the keys and is not running yet, the combination is
    // kept and given to the helper when it comes.
    virtual bool registerHotKey(quint32 keyCode, quint32 carbonModifiers,
                                std::function<void()> onPressed) = 0;
    // Releases the combination held, if any; `onPressed` is never called afterwards.
    virtual void unregisterHotKey() = 0;
};

} // namespace ovra
