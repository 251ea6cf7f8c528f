#pragma once

#include <Qt>
#include <QtGlobal>
#include <optional>

namespace ovra {

// What one key press means while the preferences window records a new shortcut.
struct RecordedKeyPress {
    enum class Kind {
        cancel, // Escape: stop recording, store nothing
        ignore, // a lone modifier or a key the stored form cannot name: keep going
        refuse, // no Super, Alt or Ctrl, or an editing chord: say so, keep the old shortcut
        record, // store `keyCode` and `carbonModifiers`, then stop recording
    };
    Kind kind = Kind::ignore;
    quint32 keyCode = 0;         // mac virtual key code, the stored form
    quint32 carbonModifiers = 0; // Carbon bits, the stored form
    bool operator==(const RecordedKeyPress&) const = default;
};

namespace ShortcutRecording {
// The stored virtual key code of a Qt key on the ANSI layout; shifted symbols give the key they
// are typed on ("!" → the 1 key). Nothing for modifiers and keys the stored form cannot name.
std::optional<quint32> virtualKeyCode(int qtKey);
// Applies the recording rules to one key press. Keypad keys are not recorded: the stored form
// would name the main-keyboard key instead.
RecordedKeyPress interpret(int qtKey, Qt::KeyboardModifiers modifiers);
// Whether a shortcut in the stored form is a chord every application edits with (Ctrl+A, C, V, X,
// Z, Y, S, F; Ctrl+Shift+C, V, Z). The shortcut is held for the whole desktop: holding Ctrl+V
// would end paste everywhere, so such a chord is never recorded nor registered.
bool isEditingChord(quint32 keyCode, quint32 carbonModifiers);
} // namespace ShortcutRecording

} // namespace ovra
