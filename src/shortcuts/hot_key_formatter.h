#pragma once

#include "platform/hot_key_modifiers.h"

#include <QString>
#include <Qt>

namespace ovra {

// Turns a stored shortcut (mac virtual key code + Carbon modifier bits) into the text shown in the
// menu and the preferences, and a Qt key event's modifiers into the stored bits.
namespace HotKeyFormatter {
// Modifier names in the order Ctrl, Alt, Shift, Super, then the key name, joined by "+"
// ("Ctrl+Shift+Super+K"), as the desktop's keyboard settings show shortcuts.
QString displayString(qint64 code, qint64 carbonModifiers);
// The name of a virtual key code; "Tecla <n>" for a code without a name.
QString keyName(qint64 code);
// Control→0x1000, Alt→0x800, Shift→0x200, Super (Qt's Meta)→0x100; the rest is dropped.
quint32 carbonModifiers(Qt::KeyboardModifiers modifiers);
} // namespace HotKeyFormatter

} // namespace ovra
