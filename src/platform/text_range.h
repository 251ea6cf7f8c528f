#pragma once

#include <QtGlobal>

namespace ovra {

// A range of text in UTF-16 code units, as the capture and the write-back exchange it.
struct TextRange {
    qint64 location = 0;
    qint64 length = 0;

    bool operator==(const TextRange&) const = default;
};

} // namespace ovra
