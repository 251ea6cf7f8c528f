#pragma once

#include <QKeyCombination>
#include <QtGlobal>
#include <optional>

namespace ovra {

// The shortcut as the settings file keeps it: a virtual key code of the ANSI layout and modifier
// bits (command 0x100, shift 0x200, option 0x800, control 0x1000), the form earlier versions wrote
// and existing files hold. Everything past the settings speaks Qt's keys; this is the one place
// that turns one form into the other.
namespace StoredShortcut {
struct Values {
    qint64 code = 0;
    qint64 modifiers = 0;
    bool operator==(const Values&) const = default;
};
// Command → Meta (Super), option → Alt, control → Control, shift → Shift. Nothing when the code
// names no key the recorder can record, or when any other bit is set: such a value was written by
// hand, and no desktop could hold it.
std::optional<QKeyCombination> toKeys(Values stored);
// Nothing for a key without a stored code (keypad, media keys…) or a modifier outside the four.
std::optional<Values> fromKeys(QKeyCombination keys);
} // namespace StoredShortcut

} // namespace ovra
