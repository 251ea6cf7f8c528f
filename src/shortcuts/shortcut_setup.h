#pragma once

#include <functional>

namespace ovra {

class ShortcutHolder;

// How the desktop lets the shortcut reach the program, for the preferences to explain.
struct ShortcutSetup {
    enum class Kind {
        held,                  // the program holds the shortcut itself
        needsShellExtension,   // GNOME on Wayland: the program's shell extension is not running
        bindInDesktopSettings, // another Wayland desktop: bound to `ovra --capture` by the user
    };
    Kind kind = Kind::held;
    // needsShellExtension: turns the extension on for the next login; false when it could not.
    std::function<bool()> enableExtension;
    // What holds the shortcut now; outlives every window. Null where nobody reports it.
    const ShortcutHolder* holder = nullptr;
};

} // namespace ovra
