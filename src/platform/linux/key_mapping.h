#pragma once

#include "platform/input_monitors.h"

#include <QString>
#include <QtGlobal>
#include <optional>

namespace ovra::platform {

// Translation between X11 keys and the program's own virtual key codes (the ANSI-layout codes the
// stored shortcut uses) and modifier flags.
namespace KeyMapping {
// The virtual key code of an X keysym (case-insensitive for letters); nothing when the stored
// form has no code for it.
std::optional<int> virtualKeyCode(unsigned long keysym);
// The X keysym of a virtual key code; nothing for unknown codes.
std::optional<unsigned long> keysym(int virtualKeyCode);
// The text a key types without modifiers, as shortcuts see it: letters in lower case, Return as
// "\r", Tab as "\t", Escape as "\x1b", BackSpace as "\x7f"; "" for keys that type nothing.
QString characters(unsigned long keysym);
// The modifier flags of an X core modifier state (Shift, Control, Mod1 = Alt, Mod4 = Super).
Modifiers modifiersFromState(unsigned int state);
// The X core modifier state of Carbon modifier bits (command 0x100 → Super, shift 0x200,
// option 0x800 → Alt, control 0x1000); nothing when bits outside those four are set.
std::optional<unsigned int> stateFromCarbon(quint32 carbonModifiers);
} // namespace KeyMapping

} // namespace ovra::platform
