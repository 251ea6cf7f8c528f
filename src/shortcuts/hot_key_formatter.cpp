#include "shortcuts/hot_key_formatter.h"

#include <array>
#include <utility>

namespace ovra {

namespace {

// Keys with a name of their own, as the desktop's keyboard settings write them.
constexpr std::array<std::pair<Qt::Key, const char16_t*>, 14> namedKeys{{
    {Qt::Key_Space, u"Space"},
    {Qt::Key_Return, u"Return"},
    {Qt::Key_Tab, u"Tab"},
    {Qt::Key_Escape, u"Escape"},
    {Qt::Key_Backspace, u"Backspace"},
    {Qt::Key_Delete, u"Delete"},
    {Qt::Key_Left, u"Left"},
    {Qt::Key_Right, u"Right"},
    {Qt::Key_Down, u"Down"},
    {Qt::Key_Up, u"Up"},
    {Qt::Key_Home, u"Home"},
    {Qt::Key_End, u"End"},
    {Qt::Key_PageUp, u"Page Up"},
    {Qt::Key_PageDown, u"Page Down"},
}};

QString keyName(Qt::Key key) {
    for (const auto& [named, text] : namedKeys)
        if (named == key)
            return QString::fromUtf16(text);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return QStringLiteral("F") + QString::number(int(key) - int(Qt::Key_F1) + 1);
    // Qt numbers the other keys of the main block by the character they type.
    if (key > Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return QString(QChar(char16_t(key)));
    return {};
}

} // namespace

QString HotKeyFormatter::displayString(QKeyCombination keys) {
    const Qt::KeyboardModifiers modifiers = keys.keyboardModifiers();
    QString text;
    if (modifiers & Qt::ControlModifier)
        text += QStringLiteral("Ctrl+");
    if (modifiers & Qt::AltModifier)
        text += QStringLiteral("Alt+");
    if (modifiers & Qt::ShiftModifier)
        text += QStringLiteral("Shift+");
    if (modifiers & Qt::MetaModifier)
        text += QStringLiteral("Super+");
    return text + keyName(keys.key());
}

} // namespace ovra
