#include "capture/selection_snapshot.h"

#include <QChar>

namespace ovra::SelectionText {

qsizetype nonWhitespaceCount(QStringView text) {
    qsizetype count = 0;
    // Decode surrogate pairs so a character outside the BMP counts once and is classified whole.
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i].unicode();
        if (QChar::isHighSurrogate(codePoint) && i + 1 < text.size() &&
            text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (!QChar::isSpace(codePoint))
            ++count;
    }
    return count;
}

bool isCapturable(QStringView text) {
    return nonWhitespaceCount(text) >= 2;
}

TextRange wholeTextRange(QStringView text) {
    return TextRange{0, text.size()};
}

} // namespace ovra::SelectionText
