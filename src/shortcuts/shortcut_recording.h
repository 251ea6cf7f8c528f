#pragma once

#include <QKeyCombination>

namespace ovra {

// What one key press means while the preferences window records a new shortcut.
struct RecordedKeyPress {
    enum class Kind {
        cancel, // Escape: stop recording, store nothing
        ignore, // a lone modifier or a key the settings cannot store: keep going
        refuse, // no Super, Alt or Ctrl, or an editing chord: say so, keep the old shortcut
        record, // store `keys`, then stop recording
    };
    Kind kind = Kind::ignore;
    QKeyCombination keys;
    bool operator==(const RecordedKeyPress&) const = default;
};

namespace ShortcutRecording {
// Applies the recording rules to one key press. A shifted symbol records the key it is typed on
// ("!" → 1, on the ANSI layout), and only Ctrl, Alt, Shift and Super are kept. Keypad keys are
// not recorded: the settings would name the main-keyboard key instead.
RecordedKeyPress interpret(int qtKey, Qt::KeyboardModifiers modifiers);
// Whether a shortcut is a chord every application edits with (Ctrl+A, C, V, X, Z, Y, S, F;
// Ctrl+Shift+C, V, Z). The shortcut is held for the whole desktop: holding Ctrl+V would end paste
// everywhere, so such a chord is never recorded nor registered.
bool isEditingChord(QKeyCombination keys);
} // namespace ShortcutRecording

} // namespace ovra
