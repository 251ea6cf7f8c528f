#pragma once

#include <QString>

namespace ovra::platform {

// Turns the program's GNOME Shell extension on for this user: adds it to the shell's enabled
// extensions (read when the shell starts, so after the next login at the latest), links the form
// of the extension the running shell loads into the user's extensions, and asks the shell to load
// it now, which it can only if it knew of it when it started. True when the setting lists it;
// false where the shell's settings are not installed.
bool enableGnomeShellExtension();

// The form of the extension GNOME Shell `shellVersion` ("48.7") loads, as the folder under the
// program's data holding it: "43" for GNOME 43 and 44 (legacy imports), "45" for GNOME 45 and
// later (ES modules); empty for an older or unreadable version.
QString gnomeShellExtensionForm(const QString& shellVersion);

// Makes `userExtensions`/<uuid> a link to `formDir`/<uuid>, replacing a link left for another
// form; a folder of the user's own is left alone. True when the link is there.
bool linkGnomeShellExtension(const QString& formDir, const QString& userExtensions);

} // namespace ovra::platform
