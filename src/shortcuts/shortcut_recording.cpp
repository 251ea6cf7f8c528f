#include "shortcuts/shortcut_recording.h"

#include "settings/stored_shortcut.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

namespace ovra {

namespace {

// Keys Qt reports in place of the key pressed: shifted symbols of the ANSI layout, Enter beside
// Return, and Tab with Shift.
constexpr std::array<std::pair<int, Qt::Key>, 23> unshiftedKeys{{
    {Qt::Key_Exclam, Qt::Key_1},
    {Qt::Key_At, Qt::Key_2},
    {Qt::Key_NumberSign, Qt::Key_3},
    {Qt::Key_Dollar, Qt::Key_4},
    {Qt::Key_Percent, Qt::Key_5},
    {Qt::Key_AsciiCircum, Qt::Key_6},
    {Qt::Key_Ampersand, Qt::Key_7},
    {Qt::Key_Asterisk, Qt::Key_8},
    {Qt::Key_ParenLeft, Qt::Key_9},
    {Qt::Key_ParenRight, Qt::Key_0},
    {Qt::Key_Underscore, Qt::Key_Minus},
    {Qt::Key_Plus, Qt::Key_Equal},
    {Qt::Key_BraceRight, Qt::Key_BracketRight},
    {Qt::Key_BraceLeft, Qt::Key_BracketLeft},
    {Qt::Key_Bar, Qt::Key_Backslash},
    {Qt::Key_QuoteDbl, Qt::Key_Apostrophe},
    {Qt::Key_Colon, Qt::Key_Semicolon},
    {Qt::Key_Greater, Qt::Key_Period},
    {Qt::Key_Question, Qt::Key_Slash},
    {Qt::Key_AsciiTilde, Qt::Key_QuoteLeft},
    {Qt::Key_Less, Qt::Key_Comma},
    {Qt::Key_Enter, Qt::Key_Return},
    {Qt::Key_Backtab, Qt::Key_Tab},
}};

Qt::Key keyPressed(int qtKey) {
    for (const auto& [reported, key] : unshiftedKeys)
        if (reported == qtKey)
            return key;
    return Qt::Key(qtKey);
}

constexpr Qt::KeyboardModifiers shortcutModifiers =
    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier;

} // namespace

bool ShortcutRecording::isEditingChord(QKeyCombination keys) {
    const Qt::KeyboardModifiers held = keys.keyboardModifiers() & shortcutModifiers;
    const auto isOneOf = [&keys](std::initializer_list<Qt::Key> editing) {
        return std::find(editing.begin(), editing.end(), keys.key()) != editing.end();
    };
    if (held == Qt::ControlModifier)
        return isOneOf({Qt::Key_A, Qt::Key_C, Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_Y, Qt::Key_S,
                        Qt::Key_F});
    if (held == (Qt::ControlModifier | Qt::ShiftModifier))
        return isOneOf({Qt::Key_C, Qt::Key_V, Qt::Key_Z});
    return false;
}

RecordedKeyPress ShortcutRecording::interpret(int qtKey, Qt::KeyboardModifiers modifiers) {
    using Kind = RecordedKeyPress::Kind;
    if (qtKey == Qt::Key_Escape)
        return {Kind::cancel};
    if (modifiers & Qt::KeypadModifier)
        return {Kind::ignore};
    const QKeyCombination keys(modifiers & shortcutModifiers, keyPressed(qtKey));
    if (!StoredShortcut::fromKeys(keys))
        return {Kind::ignore}; // a modifier key on its own, or a key the settings cannot store
    // Shift alone, or no modifier at all, never makes a shortcut.
    if (!(modifiers & (Qt::MetaModifier | Qt::AltModifier | Qt::ControlModifier)))
        return {Kind::refuse};
    if (isEditingChord(keys))
        return {Kind::refuse};
    return {Kind::record, keys};
}

} // namespace ovra
