#pragma once

#include <QString>
#include <QtGlobal>

namespace ovra::platform {

// How an application counts positions in its text on the accessibility bus. GTK (through ATK)
// counts code points in offsets and UTF-8 bytes in the length of inserted text; Qt counts UTF-16
// units in both. The rest of the program speaks UTF-16 units only.
enum class TextUnit { Utf16, CodePoints, Utf8Bytes };

struct ToolkitCounting {
    TextUnit offsets = TextUnit::CodePoints;
    TextUnit insertLength = TextUnit::Utf8Bytes;

    bool operator==(const ToolkitCounting&) const = default;
};

namespace TextOffsets {
// The counting of the toolkit named by the accessibility bus ("Qt", "GTK", "gtk"...). Toolkits
// other than Qt bridge through ATK and count like GTK.
ToolkitCounting countingFor(const QString& toolkitName);

// The length of `text` in `unit`.
qint64 length(const QString& text, TextUnit unit);
// The UTF-16 offset of the position `offset` (counted in `unit`) inside `text`; positions past
// the end clamp to the end.
qint64 toUtf16(const QString& text, qint64 offset, TextUnit unit);
// The position, counted in `unit`, of the UTF-16 offset `utf16Offset` inside `text`; an offset
// inside a surrogate pair counts as the start of that character.
qint64 fromUtf16(const QString& text, qint64 utf16Offset, TextUnit unit);
} // namespace TextOffsets

} // namespace ovra::platform
