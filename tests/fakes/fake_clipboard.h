#pragma once

#include "capture/clipboard_services.h"

#include <QSet>

namespace ovra::test {

// A multi-item, multi-format clipboard with a change count, as another application would see it.
class FakeClipboard final : public ClipboardServices {
public:
    QList<ClipboardItem> items;
    QSet<QString> unreadableTypes; // listed by types() but data() fails
    std::optional<PrimarySelection> primary;
    int clearCount = 0;
    int writeCount = 0;

    // What another application does when it copies: new content, one change.
    void copyByOtherApplication(const QString& text);

    qint64 changeCount() override { return m_changeCount; }
    int itemCount() override { return int(items.size()); }
    QStringList types(int index) override;
    std::optional<QByteArray> data(int index, const QString& type) override;
    std::optional<QString> string() override;
    void clearContents() override;
    void writeItems(const QList<ClipboardItem>& newItems) override;
    void setString(const QString& text) override;
    std::optional<PrimarySelection> primarySelection() override { return primary; }

private:
    qint64 m_changeCount = 1;
};

} // namespace ovra::test
