#pragma once

#include <QtGlobal>

namespace ovra {

// Synthetic keystrokes sent to another application. The platform picks the keys for the target
// (Ctrl+C and Ctrl+V on Linux, Ctrl+Shift+C and Ctrl+Shift+V in terminals, none in terminals
// known to take neither) and releases any modifiers the user still holds before sending them.
class SyntheticKeys {
public:
    virtual ~SyntheticKeys() = default;

    // False where no keystroke reaches other applications at all (a Wayland session): the copy
    // and paste fallbacks then step aside without touching the clipboard.
    virtual bool canSendKeys() { return true; }

    // Sends the copy keystroke to process `pid`; false when nothing was sent: `pid` is not
    // frontmost, or it takes no copy keystroke that is safe to send.
    virtual bool postCopyCommand(qint32 pid) = 0;
    // Sends the paste keystroke to process `pid`; false when nothing was sent, as above.
    virtual bool postPasteCommand(qint32 pid) = 0;
};

} // namespace ovra
