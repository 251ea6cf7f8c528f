#include "shortcuts/shortcut_recording.h"

#include "shortcuts/hot_key_formatter.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

namespace ovra {

namespace {

constexpr quint32 escapeKeyCode = 53;

// Qt key → virtual key code, for keys that are not plain letters.
constexpr std::array<std::pair<int, quint32>, 66> keyTable{{
    {Qt::Key_Space, 49},
    {Qt::Key_Return, 36},
    {Qt::Key_Enter, 36},
    {Qt::Key_Tab, 48},
    {Qt::Key_Backtab, 48},
    {Qt::Key_Escape, escapeKeyCode},
    {Qt::Key_Backspace, 51},
    {Qt::Key_Delete, 117},
    {Qt::Key_Left, 123},
    {Qt::Key_Right, 124},
    {Qt::Key_Down, 125},
    {Qt::Key_Up, 126},
    {Qt::Key_Home, 115},
    {Qt::Key_End, 119},
    {Qt::Key_PageUp, 116},
    {Qt::Key_PageDown, 121},
    {Qt::Key_F1, 122},
    {Qt::Key_F2, 120},
    {Qt::Key_F3, 99},
    {Qt::Key_F4, 118},
    {Qt::Key_F5, 96},
    {Qt::Key_F6, 97},
    {Qt::Key_F7, 98},
    {Qt::Key_F8, 100},
    {Qt::Key_F9, 101},
    {Qt::Key_F10, 109},
    {Qt::Key_F11, 103},
    {Qt::Key_F12, 111},
    {Qt::Key_1, 18},
    {Qt::Key_Exclam, 18},
    {Qt::Key_2, 19},
    {Qt::Key_At, 19},
    {Qt::Key_3, 20},
    {Qt::Key_NumberSign, 20},
    {Qt::Key_4, 21},
    {Qt::Key_Dollar, 21},
    {Qt::Key_5, 23},
    {Qt::Key_Percent, 23},
    {Qt::Key_6, 22},
    {Qt::Key_AsciiCircum, 22},
    {Qt::Key_7, 26},
    {Qt::Key_Ampersand, 26},
    {Qt::Key_8, 28},
    {Qt::Key_Asterisk, 28},
    {Qt::Key_9, 25},
    {Qt::Key_ParenLeft, 25},
    {Qt::Key_0, 29},
    {Qt::Key_ParenRight, 29},
    {Qt::Key_Minus, 27},
    {Qt::Key_Underscore, 27},
    {Qt::Key_Equal, 24},
    {Qt::Key_Plus, 24},
    {Qt::Key_BracketRight, 30},
    {Qt::Key_BraceRight, 30},
    {Qt::Key_BracketLeft, 33},
    {Qt::Key_BraceLeft, 33},
    {Qt::Key_Backslash, 42},
    {Qt::Key_Bar, 42},
    {Qt::Key_Apostrophe, 39},
    {Qt::Key_QuoteDbl, 39},
    {Qt::Key_Semicolon, 41},
    {Qt::Key_Colon, 41},
    {Qt::Key_Period, 47},
    {Qt::Key_Greater, 47},
    {Qt::Key_Slash, 44},
    {Qt::Key_Question, 44},
}};

// A..Z in Qt order, as virtual key codes of the ANSI layout.
constexpr std::array<quint32, 26> letterCodes{0,  11, 8,  2,  14, 3, 5,  4,  34, 38, 40, 37, 46,
                                              45, 31, 35, 12, 15, 1, 17, 32, 9,  13, 7,  16, 6};

// Keys the table above has no room for.
constexpr std::array<std::pair<int, quint32>, 4> extraKeys{{
    {Qt::Key_QuoteLeft, 50},
    {Qt::Key_AsciiTilde, 50},
    {Qt::Key_Comma, 43},
    {Qt::Key_Less, 43},
}};

} // namespace

std::optional<quint32> ShortcutRecording::virtualKeyCode(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return letterCodes[qtKey - Qt::Key_A];
    for (const auto& [key, code] : keyTable)
        if (key == qtKey)
            return code;
    for (const auto& [key, code] : extraKeys)
        if (key == qtKey)
            return code;
    return std::nullopt;
}

bool ShortcutRecording::isEditingChord(quint32 keyCode, quint32 carbonModifiers) {
    const quint32 held = carbonModifiers & (CarbonModifier::control | CarbonModifier::shift |
                                            CarbonModifier::option | CarbonModifier::command);
    const auto isOneOf = [keyCode](std::initializer_list<int> qtKeys) {
        return std::any_of(qtKeys.begin(), qtKeys.end(),
                           [keyCode](int qtKey) { return virtualKeyCode(qtKey) == keyCode; });
    };
    if (held == CarbonModifier::control)
        return isOneOf({Qt::Key_A, Qt::Key_C, Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_Y, Qt::Key_S,
                        Qt::Key_F});
    if (held == (CarbonModifier::control | CarbonModifier::shift))
        return isOneOf({Qt::Key_C, Qt::Key_V, Qt::Key_Z});
    return false;
}

RecordedKeyPress ShortcutRecording::interpret(int qtKey, Qt::KeyboardModifiers modifiers) {
    using Kind = RecordedKeyPress::Kind;
    if (qtKey == Qt::Key_Escape)
        return {Kind::cancel};
    if (modifiers & Qt::KeypadModifier)
        return {Kind::ignore};
    const std::optional<quint32> code = virtualKeyCode(qtKey);
    if (!code)
        return {Kind::ignore}; // a modifier key on its own, or a key without a stored name
    // Shift alone, or no modifier at all, never makes a shortcut.
    if (!(modifiers & (Qt::MetaModifier | Qt::AltModifier | Qt::ControlModifier)))
        return {Kind::refuse};
    const quint32 carbon = HotKeyFormatter::carbonModifiers(modifiers);
    if (isEditingChord(*code, carbon))
        return {Kind::refuse};
    return {Kind::record, *code, carbon};
}

} // namespace ovra
