#pragma once

#include "platform/accessibility_services.h"

#include <QString>
#include <functional>
#include <optional>

namespace ovra::platform {

// The calls a replacement makes on an editable text, in the application's own offsets. Each
// reports false or nothing when the application refused or could not be asked.
struct EditableTextCalls {
    std::function<std::optional<int>()> characterCount;
    std::function<std::optional<QString>(int start, int end)> textBetween;
    std::function<bool(int start, int end)> deleteText;
    std::function<bool(int at, const QString& text)> insertText;
    // How many positions `text` takes in those offsets.
    std::function<int(const QString& text)> lengthOf;
};

// Replaces the text between `start` and `end` by `replacement`, all or nothing: an editable text
// has no replace call, only a delete and an insert, so when the insert fails (or the application
// accepts it but takes in less than all of it, or drops text at the end to make room, as full
// fields do) the part it changed is put back as it was before failure is reported. That undo may
// itself be refused: callers that must know the text is as it was read it again.
AccessStatus replaceTextAllOrNothing(const EditableTextCalls& calls, int start, int end,
                                     const QString& replacement);

} // namespace ovra::platform
