#include "platform/linux/key_mapping.h"

#include <X11/X.h>
#include <X11/keysym.h>
#include <array>
#include <utility>

namespace ovra::platform {

namespace {

// Virtual key codes of the ANSI layout and the unshifted keysym each key types.
constexpr std::pair<int, unsigned long> keyTable[] = {
    {0, XK_a},        {1, XK_s},           {2, XK_d},
    {3, XK_f},        {4, XK_h},           {5, XK_g},
    {6, XK_z},        {7, XK_x},           {8, XK_c},
    {9, XK_v},        {11, XK_b},          {12, XK_q},
    {13, XK_w},       {14, XK_e},          {15, XK_r},
    {16, XK_y},       {17, XK_t},          {18, XK_1},
    {19, XK_2},       {20, XK_3},          {21, XK_4},
    {22, XK_6},       {23, XK_5},          {24, XK_equal},
    {25, XK_9},       {26, XK_7},          {27, XK_minus},
    {28, XK_8},       {29, XK_0},          {30, XK_bracketright},
    {31, XK_o},       {32, XK_u},          {33, XK_bracketleft},
    {34, XK_i},       {35, XK_p},          {36, XK_Return},
    {37, XK_l},       {38, XK_j},          {39, XK_apostrophe},
    {40, XK_k},       {41, XK_semicolon},  {42, XK_backslash},
    {43, XK_comma},   {44, XK_slash},      {45, XK_n},
    {46, XK_m},       {47, XK_period},     {48, XK_Tab},
    {49, XK_space},   {50, XK_grave},      {51, XK_BackSpace},
    {53, XK_Escape},  {96, XK_F5},         {97, XK_F6},
    {98, XK_F7},      {99, XK_F3},         {100, XK_F8},
    {101, XK_F9},     {103, XK_F11},       {109, XK_F10},
    {111, XK_F12},    {115, XK_Home},      {116, XK_Page_Up},
    {117, XK_Delete}, {118, XK_F4},        {119, XK_End},
    {120, XK_F2},     {121, XK_Page_Down}, {122, XK_F1},
    {123, XK_Left},   {124, XK_Right},     {125, XK_Down},
    {126, XK_Up},     {76, XK_KP_Enter},
};

unsigned long lowerLetter(unsigned long keysym) {
    if (keysym >= XK_A && keysym <= XK_Z)
        return keysym - XK_A + XK_a;
    return keysym;
}

} // namespace

namespace KeyMapping {

std::optional<int> virtualKeyCode(unsigned long keysym) {
    const unsigned long key = lowerLetter(keysym);
    for (const auto& [code, sym] : keyTable) {
        if (sym == key)
            return code;
    }
    return std::nullopt;
}

std::optional<unsigned long> keysym(Qt::Key key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<unsigned long>(XK_a + (key - Qt::Key_A));
    // Latin-1 keysyms are the characters they type, as Qt's keys of the main block are.
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return static_cast<unsigned long>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return static_cast<unsigned long>(XK_F1 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Return:
        return XK_Return;
    case Qt::Key_Tab:
        return XK_Tab;
    case Qt::Key_Backspace:
        return XK_BackSpace;
    case Qt::Key_Escape:
        return XK_Escape;
    case Qt::Key_Delete:
        return XK_Delete;
    case Qt::Key_Home:
        return XK_Home;
    case Qt::Key_End:
        return XK_End;
    case Qt::Key_PageUp:
        return XK_Page_Up;
    case Qt::Key_PageDown:
        return XK_Page_Down;
    case Qt::Key_Left:
        return XK_Left;
    case Qt::Key_Right:
        return XK_Right;
    case Qt::Key_Up:
        return XK_Up;
    case Qt::Key_Down:
        return XK_Down;
    default:
        return std::nullopt;
    }
}

QString characters(unsigned long keysym) {
    switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
        return QStringLiteral("\r");
    case XK_Tab:
        return QStringLiteral("\t");
    case XK_Escape:
        return QStringLiteral("\x1b");
    case XK_BackSpace:
        return QStringLiteral("\x7f");
    default:
        break;
    }
    const unsigned long key = lowerLetter(keysym);
    // Latin-1 keysyms are their own code points; Unicode keysyms carry theirs in the low bits.
    if ((key >= 0x20 && key <= 0x7e) || (key >= 0xa0 && key <= 0xff)) {
        return QString(QChar(static_cast<char16_t>(key))).toLower();
    }
    if ((key & 0xff000000UL) == 0x01000000UL) {
        const char32_t codePoint = static_cast<char32_t>(key & 0x00ffffffUL);
        return QString::fromUcs4(&codePoint, 1);
    }
    return {};
}

Modifiers modifiersFromState(unsigned int state) {
    Modifiers result;
    if (state & ShiftMask)
        result |= Modifier::Shift;
    if (state & ControlMask)
        result |= Modifier::Control;
    if (state & Mod1Mask)
        result |= Modifier::Alt;
    if (state & Mod4Mask)
        result |= Modifier::Super;
    return result;
}

std::optional<unsigned int> modifierState(Qt::KeyboardModifiers modifiers) {
    constexpr std::pair<Qt::KeyboardModifier, unsigned int> masks[] = {
        {Qt::ShiftModifier, ShiftMask},
        {Qt::ControlModifier, ControlMask},
        {Qt::AltModifier, Mod1Mask},
        {Qt::MetaModifier, Mod4Mask},
    };
    unsigned int state = 0;
    for (const auto& [modifier, mask] : masks) {
        if (modifiers & modifier)
            state |= mask;
        modifiers &= ~Qt::KeyboardModifiers(modifier);
    }
    if (modifiers)
        return std::nullopt;
    return state;
}

} // namespace KeyMapping

} // namespace ovra::platform
