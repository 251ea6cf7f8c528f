#include "platform/linux/atspi/text_offsets.h"

#include <QStringView>
#include <algorithm>

namespace ovra::platform {

namespace {

// Units one character (starting at `i`) takes in `unit`, and how many UTF-16 units it spans.
struct Step {
    qint64 units;
    qsizetype utf16;
};

Step stepAt(const QString& text, qsizetype i, TextUnit unit) {
    const QChar c = text.at(i);
    const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
    const char32_t codePoint = pair ? QChar::surrogateToUcs4(c, text.at(i + 1)) : c.unicode();
    const qsizetype span = pair ? 2 : 1;
    switch (unit) {
    case TextUnit::Utf16:
        return {span, span};
    case TextUnit::CodePoints:
        return {1, span};
    case TextUnit::Utf8Bytes:
        if (codePoint < 0x80)
            return {1, span};
        if (codePoint < 0x800)
            return {2, span};
        if (codePoint < 0x10000)
            return {3, span};
        return {4, span};
    }
    return {span, span};
}

} // namespace

namespace TextOffsets {

ToolkitCounting countingFor(const QString& toolkitName, const QString& toolkitVersion,
                            const QString& applicationName) {
    if (toolkitName.compare(u"Qt", Qt::CaseInsensitive) == 0)
        return {TextUnit::Utf16, TextUnit::Utf16};
    // LibreOffice draws its own text and counts it as it stores it, whatever toolkit hosts it;
    // but its GTK bridge reads an inserted text's length as ATK defines it, in bytes.
    if (applicationName == u"soffice")
        return {TextUnit::Utf16, TextUnit::Utf8Bytes};
    if (toolkitName.compare(u"Chromium", Qt::CaseInsensitive) == 0)
        return {TextUnit::CodePoints, TextUnit::Utf8Bytes, false, false, true};
    if (toolkitName.compare(u"Gecko", Qt::CaseInsensitive) == 0)
        return {TextUnit::Utf16, TextUnit::Utf8Bytes, false, true};
    const bool gtk4 =
        toolkitName.compare(u"GTK", Qt::CaseInsensitive) == 0 && toolkitVersion.startsWith(u"4.");
    return {TextUnit::CodePoints, TextUnit::Utf8Bytes, gtk4};
}

qint64 selectionOffset(const QString& text, qint64 reported, const ToolkitCounting& counting) {
    if (!counting.selectionConvertedTwice || reported <= 0)
        return reported;
    // The conversion done once too often took a code-point offset for a UTF-16 one; the UTF-16
    // offset of `reported` code points is the offset that was meant.
    return toUtf16(text, reported, TextUnit::CodePoints);
}

QString withoutAstralPadding(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool padding =
            text.at(i) == QChar(0xFEFF) && i > 0 && text.at(i - 1).isLowSurrogate();
        if (!padding)
            result.append(text.at(i));
    }
    return result;
}

qint64 length(const QString& text, TextUnit unit) {
    if (unit == TextUnit::Utf16)
        return text.size();
    qint64 total = 0;
    for (qsizetype i = 0; i < text.size();) {
        const Step step = stepAt(text, i, unit);
        total += step.units;
        i += step.utf16;
    }
    return total;
}

qint64 toUtf16(const QString& text, qint64 offset, TextUnit unit) {
    if (offset <= 0)
        return 0;
    if (unit == TextUnit::Utf16)
        return std::min<qint64>(offset, text.size());
    qint64 counted = 0;
    qsizetype i = 0;
    while (i < text.size() && counted < offset) {
        const Step step = stepAt(text, i, unit);
        counted += step.units;
        i += step.utf16;
    }
    return i;
}

qint64 fromUtf16(const QString& text, qint64 utf16Offset, TextUnit unit) {
    if (utf16Offset <= 0)
        return 0;
    const qsizetype end = std::min<qint64>(utf16Offset, text.size());
    if (unit == TextUnit::Utf16)
        return end;
    qint64 counted = 0;
    for (qsizetype i = 0; i < end;) {
        const Step step = stepAt(text, i, unit);
        if (i + step.utf16 > end)
            break; // inside a surrogate pair
        counted += step.units;
        i += step.utf16;
    }
    return counted;
}

} // namespace TextOffsets

} // namespace ovra::platform
