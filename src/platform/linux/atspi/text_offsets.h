#pragma once

#include <QString>
#include <QtGlobal>

namespace ovra::platform {

// How an application counts positions in its text on the accessibility bus, and where it places
// them; the rest of the program speaks UTF-16 units and screen coordinates only. As measured here:
//
//   toolkit (name, version)   offsets      inserted length   text extents
//   Qt 5 and 6 ("Qt")         UTF-16       UTF-16            screen
//   GTK 3 ("gtk", via ATK)    code points  UTF-8 bytes       screen
//   GTK 4 ("GTK", "4.x")      code points  UTF-8 bytes       window only, one character at a
//                                                            time (range and screen extents fail
//                                                            or answer garbage in 4.8)
//   Gecko (Firefox)           UTF-16 (*)   UTF-8 bytes       screen
//   LibreOffice ("gtk", but   UTF-16       UTF-8 bytes       screen
//     application "soffice")
//   Chromium ("Chromium")     code points  (no editable     screen
//                             (**)         text)
//   anything else             as GTK 3
//
// (*) Gecko counts code points of a text in which every character outside the BMP is followed
// by U+FEFF, which keeps its offsets equal to UTF-16 ones; the padding is taken out of every
// text read.
// (**) Chromium's text, extents and the offsets it is given count code points, but the selection
// it reports has been converted from UTF-16 units to code points once too often: each character
// outside the BMP before an offset makes it one too small (a selection after "😀" is reported
// one character early).
enum class TextUnit { Utf16, CodePoints, Utf8Bytes };

struct ToolkitCounting {
    TextUnit offsets = TextUnit::CodePoints;
    TextUnit insertLength = TextUnit::Utf8Bytes;
    bool windowRelativeExtents = false;
    bool padsAstralCharacters = false;    // U+FEFF after each character outside the BMP
    bool selectionConvertedTwice = false; // see (**) above

    bool operator==(const ToolkitCounting&) const = default;
};

namespace TextOffsets {
// The counting of the toolkit named, with its version, by the accessibility bus, in the
// application of that name.
ToolkitCounting countingFor(const QString& toolkitName, const QString& toolkitVersion = {},
                            const QString& applicationName = {});

// The offset, in the toolkit's unit, that the toolkit means by the selection offset `reported`
// in `text` (which must run at least twice as far as `reported`).
qint64 selectionOffset(const QString& text, qint64 reported, const ToolkitCounting& counting);

// `text` without the U+FEFF a toolkit that pads astral characters puts after each of them.
QString withoutAstralPadding(const QString& text);

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
