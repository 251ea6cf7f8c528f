#pragma once

#include <QtGlobal>

namespace ovra {

// Synthetic keystrokes sent to another application. The platform picks the keys (Ctrl+C and
// Ctrl+V on Linux) and releases any modifiers the user still holds before sending them.
class SyntheticKeys {
public:
    virtual ~SyntheticKeys() = default;

    // Sends the copy keystroke to process `pid`; nothing is sent unless `pid` is frontmost.
    virtual void postCopyCommand(qint32 pid) = 0;
    // Sends the paste keystroke to process `pid`; nothing is sent unless `pid` is frontmost.
    virtual void postPasteCommand(qint32 pid) = 0;
};

} // namespace ovra
