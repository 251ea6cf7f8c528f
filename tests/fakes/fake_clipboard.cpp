#include "fakes/fake_clipboard.h"

#include "support/sleep.h"

namespace ovra::test {

QCoro::Task<void> FakeClipboard::hang() {
    Q_ASSERT(scheduler);
    co_await sleepFor(*scheduler, readDeadline);
}

QCoro::Task<ClipboardReading> FakeClipboard::readItems() {
    ClipboardReading reading;
    const QList<ClipboardItem> offered = items;
    for (const ClipboardItem& item : offered) {
        ClipboardItem copy;
        for (const auto& [type, bytes] : item.representations) {
            if (!reading.timedOut && hangingTypes.contains(type)) {
                co_await hang();
                reading.timedOut = true;
            }
            if (reading.timedOut || unreadableTypes.contains(type))
                reading.unread.append(type);
            else
                copy.representations.append({type, bytes});
        }
        reading.items.append(std::move(copy));
    }
    co_return reading;
}

QCoro::Task<std::optional<QString>> FakeClipboard::readString() {
    if (hangingTypes.contains(ClipboardTypes::plainText)) {
        co_await hang();
        co_return std::nullopt;
    }
    co_return string();
}

QCoro::Task<bool> FakeClipboard::waitUntilRead(qint32 readerPid,
                                               std::chrono::milliseconds deadline) {
    const bool read = pasteReadAfter && *pasteReadAfter <= deadline;
    const Duration waited = read ? *pasteReadAfter : deadline;
    if (waited > Duration::zero()) {
        Q_ASSERT(scheduler);
        co_await sleepFor(*scheduler, waited);
    }
    if (read && onPasteRead && pasteLandsAfter) {
        const QString text = string().value_or(QString());
        if (*pasteLandsAfter == Duration::zero()) {
            onPasteRead(readerPid, text);
        } else {
            Q_ASSERT(scheduler);
            scheduler->schedule(*pasteLandsAfter,
                                [land = onPasteRead, readerPid, text] { land(readerPid, text); });
        }
    }
    co_return read;
}

QCoro::Task<std::optional<PrimarySelection>> FakeClipboard::readPrimarySelection() {
    if (primaryHangs) {
        co_await hang();
        co_return std::nullopt;
    }
    co_return primary;
}

std::optional<QByteArray> FakeClipboard::data(int index, const QString& type) const {
    if (index < 0 || index >= items.size())
        return std::nullopt;
    for (const auto& [itemType, bytes] : items[index].representations)
        if (itemType == type)
            return bytes;
    return std::nullopt;
}

std::optional<QString> FakeClipboard::string() const {
    for (const ClipboardItem& item : items)
        for (const auto& [type, bytes] : item.representations)
            if (type == ClipboardTypes::plainText)
                return QString::fromUtf8(bytes);
    return std::nullopt;
}

void FakeClipboard::clearContents() {
    items.clear();
    ++clearCount;
    newOwner();
}

void FakeClipboard::writeItems(const QList<ClipboardItem>& newItems) {
    items += newItems;
    ++writeCount;
    newOwner();
}

void FakeClipboard::setString(const QString& text) {
    items = {ClipboardItem{{{ClipboardTypes::plainText, text.toUtf8()}}}};
    newOwner();
}

void FakeClipboard::newOwner() {
    // Refusals and hangs were the old owner's.
    unreadableTypes.clear();
    hangingTypes.clear();
    ++m_changeCount;
}

} // namespace ovra::test
