#include "settings/stored_shortcut.h"

#include <array>
#include <utility>

namespace ovra {

namespace {

// Every key the stored form names, by its virtual key code: the character keys of the ANSI
// layout and the keys with a name of their own.
constexpr std::array<std::pair<qint64, Qt::Key>, 73> keyCodes{{
    {0, Qt::Key_A},
    {11, Qt::Key_B},
    {8, Qt::Key_C},
    {2, Qt::Key_D},
    {14, Qt::Key_E},
    {3, Qt::Key_F},
    {5, Qt::Key_G},
    {4, Qt::Key_H},
    {34, Qt::Key_I},
    {38, Qt::Key_J},
    {40, Qt::Key_K},
    {37, Qt::Key_L},
    {46, Qt::Key_M},
    {45, Qt::Key_N},
    {31, Qt::Key_O},
    {35, Qt::Key_P},
    {12, Qt::Key_Q},
    {15, Qt::Key_R},
    {1, Qt::Key_S},
    {17, Qt::Key_T},
    {32, Qt::Key_U},
    {9, Qt::Key_V},
    {13, Qt::Key_W},
    {7, Qt::Key_X},
    {16, Qt::Key_Y},
    {6, Qt::Key_Z},
    {29, Qt::Key_0},
    {18, Qt::Key_1},
    {19, Qt::Key_2},
    {20, Qt::Key_3},
    {21, Qt::Key_4},
    {23, Qt::Key_5},
    {22, Qt::Key_6},
    {26, Qt::Key_7},
    {28, Qt::Key_8},
    {25, Qt::Key_9},
    {27, Qt::Key_Minus},
    {24, Qt::Key_Equal},
    {30, Qt::Key_BracketRight},
    {33, Qt::Key_BracketLeft},
    {42, Qt::Key_Backslash},
    {39, Qt::Key_Apostrophe},
    {41, Qt::Key_Semicolon},
    {47, Qt::Key_Period},
    {44, Qt::Key_Slash},
    {50, Qt::Key_QuoteLeft},
    {43, Qt::Key_Comma},
    {49, Qt::Key_Space},
    {36, Qt::Key_Return},
    {48, Qt::Key_Tab},
    {53, Qt::Key_Escape},
    {51, Qt::Key_Backspace},
    {117, Qt::Key_Delete},
    {123, Qt::Key_Left},
    {124, Qt::Key_Right},
    {125, Qt::Key_Down},
    {126, Qt::Key_Up},
    {115, Qt::Key_Home},
    {119, Qt::Key_End},
    {116, Qt::Key_PageUp},
    {121, Qt::Key_PageDown},
    {122, Qt::Key_F1},
    {120, Qt::Key_F2},
    {99, Qt::Key_F3},
    {118, Qt::Key_F4},
    {96, Qt::Key_F5},
    {97, Qt::Key_F6},
    {98, Qt::Key_F7},
    {100, Qt::Key_F8},
    {101, Qt::Key_F9},
    {109, Qt::Key_F10},
    {103, Qt::Key_F11},
    {111, Qt::Key_F12},
}};

constexpr std::array<std::pair<qint64, Qt::KeyboardModifier>, 4> modifierBits{{
    {0x100, Qt::MetaModifier},
    {0x200, Qt::ShiftModifier},
    {0x800, Qt::AltModifier},
    {0x1000, Qt::ControlModifier},
}};

} // namespace

namespace StoredShortcut {

std::optional<QKeyCombination> toKeys(Values stored) {
    Qt::KeyboardModifiers modifiers;
    qint64 unread = stored.modifiers;
    for (const auto& [bit, modifier] : modifierBits) {
        if (unread & bit)
            modifiers |= modifier;
        unread &= ~bit;
    }
    if (unread != 0)
        return std::nullopt;
    for (const auto& [code, key] : keyCodes)
        if (code == stored.code)
            return QKeyCombination(modifiers, key);
    return std::nullopt;
}

std::optional<Values> fromKeys(QKeyCombination keys) {
    Qt::KeyboardModifiers unread = keys.keyboardModifiers();
    qint64 bits = 0;
    for (const auto& [bit, modifier] : modifierBits) {
        if (unread & modifier)
            bits |= bit;
        unread &= ~Qt::KeyboardModifiers(modifier);
    }
    if (unread)
        return std::nullopt;
    for (const auto& [code, key] : keyCodes)
        if (key == keys.key())
            return Values{code, bits};
    return std::nullopt;
}

} // namespace StoredShortcut

} // namespace ovra
