#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>
#include <utility>

namespace ovra {

// Format names this program uses on the clipboard.
namespace ClipboardTypes {
inline const QString plainText = QStringLiteral("text/plain;charset=utf-8");
// Clipboard managers leave out of their history any content that carries this format with the
// value "secret"; the panel marks what it puts on the clipboard for a paste with it.
inline const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");
inline const QByteArray secretHintValue = QByteArrayLiteral("secret");
} // namespace ClipboardTypes

// One clipboard item: every format it offers with its data, in the order offered.
struct ClipboardItem {
    QList<std::pair<QString, QByteArray>> representations;

    bool operator==(const ClipboardItem&) const = default;
};

// The X11 PRIMARY selection: the text most recently selected anywhere, and who selected it.
struct PrimarySelection {
    QString text;
    qint32 ownerPid = 0; // 0 when the owner's process cannot be determined
    // Time since its owner took it; nothing when that was not seen (before this program started).
    std::optional<std::chrono::milliseconds> age;
};

// What a read of the clipboard gave: every item with each format that answered in time, and the
// formats it offers that could not be read (refused, or the owner did not answer in time).
struct ClipboardReading {
    QList<ClipboardItem> items;
    QStringList unread;
    bool timedOut = false; // the owner did not answer every format in time
};

// The desktop's clipboard (the one Ctrl+C and Ctrl+V use), plus the PRIMARY selection.
// Main thread only. Reads ask the selection's owner, another process that may never answer: they
// are awaited, and each ends within readDeadline whatever the owner does.
class ClipboardServices {
public:
    static constexpr std::chrono::milliseconds readDeadline{300};

    virtual ~ClipboardServices() = default;

    // A counter that grows whenever the clipboard's content changes, whoever changes it.
    virtual qint64 changeCount() = 0;
    // Every item with every format that could be read within readDeadline, all formats together.
    virtual QCoro::Task<ClipboardReading> readItems() = 0;
    // The clipboard's plain text; nothing when it holds none or its owner did not answer in time.
    virtual QCoro::Task<std::optional<QString>> readString() = 0;

    // Empties the clipboard and takes ownership of it (the change count grows).
    virtual void clearContents() = 0;
    // Puts `items` on the clipboard with all their formats (the change count grows).
    virtual void writeItems(const QList<ClipboardItem>& items) = 0;
    // Puts plain text on the clipboard (the change count grows).
    virtual void setString(const QString& text) = 0;

    // Waits until process `readerPid` (or a requestor whose process is unknown) asks for the data
    // of what this program has on the clipboard, the answer has gone out and the reader has had a
    // moment to finish its paste with the content unchanged; false when
    // `deadline` passes first. Asking for the list of formats is no read: clipboard managers and
    // paste menus do that. Counts requests from the call on; requests are answered on turns of
    // the event loop, so one caused just before the call is not missed.
    virtual QCoro::Task<bool> waitUntilRead(qint32 readerPid,
                                            std::chrono::milliseconds deadline) = 0;

    // The PRIMARY selection's text and owner; nothing when no one holds text there or its owner
    // did not answer within readDeadline.
    virtual QCoro::Task<std::optional<PrimarySelection>> readPrimarySelection() = 0;
};

} // namespace ovra
