#pragma once

#include <QKeyCombination>
#include <functional>

namespace ovra {

// The desktop's system-wide hot-key facility. A combination is a Qt key with Qt's Control, Alt,
// Shift and Meta (Super) modifiers; the implementation maps it to its own keys. One service holds
// at most one combination. Main thread only.
class HotKeyService {
public:
    virtual ~HotKeyService() = default;

    // Grabs the combination and calls `onPressed` on the main thread at every press; false, with
    // nothing held, when the desktop refuses it (taken, invalid, unmappable) or one is held
    // already. Where a desktop helper holds the keys and is not running yet, the combination is
    // kept and given to the helper when it comes.
    virtual bool registerHotKey(QKeyCombination keys, std::function<void()> onPressed) = 0;
    // Releases the combination held, if any; `onPressed` is never called afterwards.
    virtual void unregisterHotKey() = 0;
};

} // namespace ovra
