#pragma once

namespace ovra::platform {

// Turns the program's GNOME Shell extension on for this user: adds it to the shell's enabled
// extensions (read when the shell starts, so after the next login at the latest) and asks the
// running shell to load it now, which it can only if it knew of it when it started. True when
// the setting lists it; false where the shell's settings are not installed.
bool enableGnomeShellExtension();

} // namespace ovra::platform
