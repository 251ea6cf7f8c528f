#include "fakes/fake_clipboard.h"

namespace ovra::test {

void FakeClipboard::copyByOtherApplication(const QString& text) {
    items = {ClipboardItem{{{ClipboardTypes::plainText, text.toUtf8()}}}};
    ++m_changeCount;
}

QStringList FakeClipboard::types(int index) {
    QStringList result;
    if (index < 0 || index >= items.size())
        return result;
    for (const auto& [type, bytes] : items[index].representations)
        result.append(type);
    return result;
}

std::optional<QByteArray> FakeClipboard::data(int index, const QString& type) {
    if (index < 0 || index >= items.size() || unreadableTypes.contains(type))
        return std::nullopt;
    for (const auto& [itemType, bytes] : items[index].representations) {
        if (itemType == type)
            return bytes;
    }
    return std::nullopt;
}

std::optional<QString> FakeClipboard::string() {
    for (const ClipboardItem& item : items) {
        for (const auto& [type, bytes] : item.representations) {
            if (type == ClipboardTypes::plainText)
                return QString::fromUtf8(bytes);
        }
    }
    return std::nullopt;
}

void FakeClipboard::clearContents() {
    items.clear();
    ++clearCount;
    ++m_changeCount;
}

void FakeClipboard::writeItems(const QList<ClipboardItem>& newItems) {
    items += newItems;
    ++writeCount;
    ++m_changeCount;
}

void FakeClipboard::setString(const QString& text) {
    items = {ClipboardItem{{{ClipboardTypes::plainText, text.toUtf8()}}}};
    ++m_changeCount;
}

} // namespace ovra::test
