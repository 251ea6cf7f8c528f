#pragma once

#include "platform/input_monitors.h"

#include <QKeyCombination>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace ovra::platform {

// Translation between X11 keys and the input monitors' virtual key codes (ANSI-layout codes) and
// modifier flags, and from Qt's keys to X11's for the shortcut.
namespace KeyMapping {
// The virtual key code of an X keysym (case-insensitive for letters); nothing when the stored
// form has no code for it.
std::optional<int> virtualKeyCode(unsigned long keysym);
// The keysym a Qt key types unshifted (letters in lower case); nothing for a key the shortcut
// never holds (keypad, media keys…).
std::optional<unsigned long> keysym(Qt::Key key);
// The text a key types without modifiers, as shortcuts see it: letters in lower case, Return as
// "\r", Tab as "\t", Escape as "\x1b", BackSpace as "\x7f"; "" for keys that type nothing.
QString characters(unsigned long keysym);
// The modifier flags of an X core modifier state (Shift, Control, Mod1 = Alt, Mod4 = Super).
Modifiers modifiersFromState(unsigned int state);
// The X core modifier state of Qt's modifiers (Meta → Mod4 = Super, Alt → Mod1); nothing when
// one outside Shift, Control, Alt and Meta is set.
std::optional<unsigned int> modifierState(Qt::KeyboardModifiers modifiers);
} // namespace KeyMapping

} // namespace ovra::platform
