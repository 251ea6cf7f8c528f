#pragma once

#include "platform/clipboard_services.h"
#include "support/scheduler.h"

#include <QSet>
#include <functional>

namespace ovra::test {

// A multi-item, multi-format clipboard with a change count, as another application would see it.
class FakeClipboard final : public ClipboardServices {
public:
    QList<ClipboardItem> items;
    // The owner's behaviour, until the clipboard changes hands.
    QSet<QString> unreadableTypes; // offered, but the owner refuses them
    // The owner stops answering at these formats: a read spends readDeadline on `scheduler`,
    // then gives up on them and on every format after them.
    QSet<QString> hangingTypes;
    std::optional<PrimarySelection> primary;
    bool primaryHangs = false; // the PRIMARY owner does not answer
    Scheduler* scheduler = nullptr;
    // How long after a wait for a read begins (the paste keystroke) the paste target asks for the
    // clipboard's data; nothing: it never does. A wait needs `scheduler` unless this is zero.
    std::optional<Duration> pasteReadAfter = Duration::zero();
    // The paste target inserts what it read this long after reading it (by `onPasteRead`);
    // nothing: it never does.
    std::optional<Duration> pasteLandsAfter = Duration::zero();
    std::function<void(qint32 readerPid, const QString& text)> onPasteRead;
    int clearCount = 0;
    int writeCount = 0;

    // What another application does when it copies: new content, one change.
    void copyByOtherApplication(const QString& text) { setString(text); }

    // What is on the clipboard now, as the tests look at it.
    std::optional<QByteArray> data(int index, const QString& type) const;
    std::optional<QString> string() const;

    qint64 changeCount() override { return m_changeCount; }
    QCoro::Task<ClipboardReading> readItems() override;
    QCoro::Task<std::optional<QString>> readString() override;
    void clearContents() override;
    void writeItems(const QList<ClipboardItem>& newItems) override;
    void setString(const QString& text) override;
    QCoro::Task<bool> waitUntilRead(qint32 readerPid, std::chrono::milliseconds deadline) override;
    QCoro::Task<std::optional<PrimarySelection>> readPrimarySelection() override;

private:
    QCoro::Task<void> hang();
    void newOwner();

    qint64 m_changeCount = 1;
};

} // namespace ovra::test
