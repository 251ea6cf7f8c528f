#pragma once

#include <QString>

namespace ovra::platform {

// Which chords copy and paste in an application. Terminals read Ctrl+C as an interrupt for the
// program they run and Ctrl+V as a literal character, so most take Ctrl+Shift+C and
// Ctrl+Shift+V instead; a few take neither, and nothing may be sent to them.
enum class ClipboardChords { control, controlShift, none };

// `windowClass`: the class part of WM_CLASS; `entryIsTerminal`: the application's desktop entry
// lists TerminalEmulator among its categories. Known window classes decide first.
ClipboardChords clipboardChordsFor(const QString& windowClass, bool entryIsTerminal);

} // namespace ovra::platform
