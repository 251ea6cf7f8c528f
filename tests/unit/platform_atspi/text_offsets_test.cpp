#include "platform/linux/atspi/text_offsets.h"

#include <gtest/gtest.h>

namespace ovra::platform {
namespace {

// "é" is 1 UTF-16 unit and 2 bytes; "😀" is 2 units, 1 code point and 4 bytes; "👍🏽" is two
// code points of two units each.
const QString mixed = QStringLiteral("aé😀b👍🏽c");

// By toolkit name (in any case), GTK's version and the application (LibreOffice counts as it
// stores).
TEST(TextOffsets, ToolkitCountingByName) {
    using enum TextUnit;
    const struct {
        const char* toolkit;
        const char* version;
        const char* application;
        ToolkitCounting counting;
    } cases[] = {
        {"Qt", "", "", {Utf16, Utf16}},
        {"QT", "", "soffice", {Utf16, Utf16}},
        {"GTK", "", "", {CodePoints, Utf8Bytes}},
        {"", "", "", {CodePoints, Utf8Bytes}},
        {"gtk", "3.24.38", "", {CodePoints, Utf8Bytes}},
        {"GTK", "4.8.3", "", {CodePoints, Utf8Bytes, true}},
        {"gtk", "4.8.3", "soffice", {Utf16, Utf8Bytes}},
        {"gtk", "3.24.38", "mousepad", {CodePoints, Utf8Bytes}},
        {"Gecko", "", "", {Utf16, Utf8Bytes, false, true}},
        {"chromium", "1.0", "", {CodePoints, Utf8Bytes, false, false, true}},
    };
    for (const auto& [toolkit, version, application, counting] : cases)
        EXPECT_EQ(TextOffsets::countingFor(QString::fromLatin1(toolkit),
                                           QString::fromLatin1(version),
                                           QString::fromLatin1(application)),
                  counting)
            << toolkit << ' ' << version << ' ' << application;
}

// Chromium's reported selections as measured, each character outside the BMP before an end
// making it one too small; other toolkits' offsets are meant as reported.
TEST(TextOffsets, ChromiumSelectionsAreTakenAsMeantAndGeckosPaddingTakenOut) {
    const ToolkitCounting chromium = TextOffsets::countingFor(QStringLiteral("Chromium"));
    // "naïve" after one emoji: code points 11..16, reported 10..15.
    const QString line = QStringLiteral("Olá café 😀 naïve text");
    EXPECT_EQ(TextOffsets::selectionOffset(line, 10, chromium), 11);
    EXPECT_EQ(TextOffsets::selectionOffset(line, 15, chromium), 16);
    // After an emoji with a skin tone (two code points): "eyb" at 5..8, reported 3..6.
    const QString toned = QStringLiteral("x👍🏽 keyboard");
    EXPECT_EQ(TextOffsets::selectionOffset(toned, 3, chromium), 5);
    EXPECT_EQ(TextOffsets::selectionOffset(toned, 6, chromium), 8);
    // Before any such character, and the start of the text, nothing moves.
    EXPECT_EQ(TextOffsets::selectionOffset(line, 3, chromium), 3);
    EXPECT_EQ(TextOffsets::selectionOffset(line, 0, chromium), 0);
    EXPECT_EQ(
        TextOffsets::selectionOffset(line, 10, TextOffsets::countingFor(QStringLiteral("gtk"))),
        10);

    // Gecko's text as the bus carries it: U+FEFF after each astral character, only there.
    const QString padded = QStringLiteral("a😀\uFEFFb👍\uFEFF🏽\uFEFF\uFEFFc");
    EXPECT_EQ(TextOffsets::withoutAstralPadding(padded), QStringLiteral("a😀b👍🏽\uFEFFc"));
    // A BOM of the text itself, not after an astral character, stays.
    EXPECT_EQ(TextOffsets::withoutAstralPadding(QStringLiteral("\uFEFFé\uFEFF")),
              QStringLiteral("\uFEFFé\uFEFF"));
}

TEST(TextOffsets, LengthsAndOffsetsToUtf16AndBackClampedToTheText) {
    EXPECT_EQ(TextOffsets::length(mixed, TextUnit::Utf16), 10);
    EXPECT_EQ(TextOffsets::length(mixed, TextUnit::CodePoints), 7);
    EXPECT_EQ(TextOffsets::length(mixed, TextUnit::Utf8Bytes), 1 + 2 + 4 + 1 + 8 + 1);
    EXPECT_EQ(TextOffsets::length(QString(), TextUnit::Utf8Bytes), 0);

    // Code point → UTF-16: a b after the emoji is at 3 code points, 4 units.
    const std::pair<qint64, qint64> pairs[] = {{0, 0}, {1, 1}, {2, 2}, {3, 4},
                                               {4, 5}, {5, 7}, {6, 9}, {7, 10}};
    for (const auto& [codePoints, units] : pairs) {
        EXPECT_EQ(TextOffsets::toUtf16(mixed, codePoints, TextUnit::CodePoints), units)
            << codePoints;
        EXPECT_EQ(TextOffsets::fromUtf16(mixed, units, TextUnit::CodePoints), codePoints) << units;
    }

    // Out of range and split pairs clamp.
    EXPECT_EQ(TextOffsets::toUtf16(mixed, -3, TextUnit::CodePoints), 0);
    EXPECT_EQ(TextOffsets::toUtf16(mixed, 99, TextUnit::CodePoints), mixed.size());
    EXPECT_EQ(TextOffsets::fromUtf16(mixed, 99, TextUnit::CodePoints), 7);
    // Inside the emoji's surrogate pair: the position of the emoji itself.
    EXPECT_EQ(TextOffsets::fromUtf16(mixed, 3, TextUnit::CodePoints), 2);
    // UTF-16 to UTF-16 is the identity within the text.
    EXPECT_EQ(TextOffsets::toUtf16(mixed, 5, TextUnit::Utf16), 5);
    EXPECT_EQ(TextOffsets::fromUtf16(mixed, 12, TextUnit::Utf16), 10);
    // A lone surrogate counts as one character, as toolkits store it.
    const QString broken = QString(QChar(0xD83D)) + u'x';
    EXPECT_EQ(TextOffsets::length(broken, TextUnit::CodePoints), 2);
    EXPECT_EQ(TextOffsets::toUtf16(broken, 1, TextUnit::CodePoints), 1);
    // Byte offsets of inserted text.
    EXPECT_EQ(TextOffsets::toUtf16(mixed, 3, TextUnit::Utf8Bytes), 2); // after "aé"
    EXPECT_EQ(TextOffsets::toUtf16(mixed, 7, TextUnit::Utf8Bytes), 4); // after the emoji
    EXPECT_EQ(TextOffsets::fromUtf16(mixed, 4, TextUnit::Utf8Bytes), 7);
}

} // namespace
} // namespace ovra::platform
