#include "platform/linux/terminal_keys.h"

#include <QStringList>

namespace ovra::platform {

namespace {

// Terminals whose default bindings give no copy or paste chord: xterm (its selection is PRIMARY,
// pasted with the middle button) and the rxvt family (Ctrl+Alt+C in recent urxvt only).
const QStringList terminalsWithoutChords{
    QStringLiteral("XTerm"), QStringLiteral("UXTerm"), QStringLiteral("URxvt"),
    QStringLiteral("Rxvt"),  QStringLiteral("Eterm"),  QStringLiteral("Aterm"),
};

// Terminals that take Ctrl+Shift+C and Ctrl+Shift+V and often come without a desktop entry.
const QStringList terminalsWithShiftChords{
    QStringLiteral("st-256color"), QStringLiteral("St"),   QStringLiteral("kitty"),
    QStringLiteral("Alacritty"),   QStringLiteral("foot"), QStringLiteral("org.wezfurlong.wezterm"),
};

} // namespace

ClipboardChords clipboardChordsFor(const QString& windowClass, bool entryIsTerminal) {
    if (terminalsWithoutChords.contains(windowClass, Qt::CaseInsensitive))
        return ClipboardChords::none;
    if (entryIsTerminal || terminalsWithShiftChords.contains(windowClass, Qt::CaseInsensitive))
        return ClipboardChords::controlShift;
    return ClipboardChords::control;
}

} // namespace ovra::platform
