#pragma once

#include <QKeyCombination>
#include <QString>

namespace ovra {

// The text of a shortcut in the menu and the preferences.
namespace HotKeyFormatter {
// Modifier names in the order Ctrl, Alt, Shift, Super, then the key name, joined by "+"
// ("Ctrl+Shift+Super+K"), as the desktop's keyboard settings show shortcuts. A character key is
// named by the character it types unshifted; other modifiers are not shown.
QString displayString(QKeyCombination keys);
} // namespace HotKeyFormatter

} // namespace ovra
