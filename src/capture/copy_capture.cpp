#include "capture/copy_capture.h"

#include "support/errors.h"
#include "support/logging.h"
#include "support/sleep.h"

#include <utility>

OVRA_LOGGING_CATEGORY("ovra.capture");

namespace ovra {

namespace {

// Waits on the scheduler; a cancelled wait simply ends early.
QCoro::Task<void> waitOrCancel(Scheduler& scheduler, Duration delay, CancelToken token) {
    try {
        co_await sleepFor(scheduler, delay, std::move(token));
    } catch (const CancelledError&) {
    }
}

// The plain text among `items`, as a paste would take it.
std::optional<QString> textOf(const QList<ClipboardItem>& items) {
    for (const QString& type : {ClipboardTypes::plainText, QStringLiteral("text/plain")}) {
        for (const ClipboardItem& item : items) {
            for (const auto& [itemType, bytes] : item.representations) {
                if (itemType == type)
                    return QString::fromUtf8(bytes);
            }
        }
    }
    return std::nullopt;
}

} // namespace

CopyCapture::CopyCapture(CapturePlatform& platform, AccessibilityCapture& capture,
                         Scheduler& scheduler, ClipboardLease& lease, CaptureFilter filter)
    : m_platform(platform), m_capture(capture), m_scheduler(scheduler), m_lease(lease),
      m_filter(std::move(filter)) {}

QCoro::Task<std::optional<QList<ClipboardItem>>>
CopyCapture::backupItems(ClipboardServices& clipboard) {
    ClipboardReading reading = co_await clipboard.readItems();
    if (!reading.unread.isEmpty())
        qCInfo(lc) << "clipboard formats not backed up:" << reading.unread;
    if (reading.timedOut) {
        // What a slow owner still holds could not be put back: the clipboard is not to be taken.
        qCInfo(lc) << "the clipboard's owner did not answer in time: it is left alone";
        co_return std::nullopt;
    }
    co_return std::move(reading.items);
}

QCoro::Task<std::optional<QString>> CopyCapture::primaryTextOf(qint32 pid, PrimaryTrust trust) {
    if (trust.focusedSelectionEmpty)
        co_return std::nullopt;
    // X11 publishes every selection as PRIMARY. It is trusted only when its owner is known to be
    // the frontmost application: text selected earlier elsewhere must not pass for this selection.
    const auto primary = co_await m_platform.clipboard.readPrimarySelection();
    if (!primary || primary->ownerPid == 0 || primary->ownerPid != pid || !primary->age)
        co_return std::nullopt;
    const bool fresh = *primary->age <= primaryFreshFor ||
                       (trust.sinceFocusChange && *primary->age <= *trust.sinceFocusChange);
    if (!fresh)
        co_return std::nullopt;
    if (!SelectionText::isCapturable(primary->text))
        co_return std::nullopt;
    co_return primary->text;
}

QCoro::Task<std::optional<SelectionSnapshot>>
CopyCapture::capture(std::optional<QPointF> mouseLocation, CancelToken token,
                     PrimaryTrust primary) {
    // The copy needs no accessibility: it is the way in while the switch is off.
    const auto frontmost = m_platform.workspace.frontmostApplication();
    if (!frontmost || frontmost->appId.isEmpty() || frontmost->pid == 0)
        co_return std::nullopt;
    if (!m_filter.allows(frontmost->appId))
        co_return std::nullopt;

    const std::optional<QString> primaryText = co_await primaryTextOf(frontmost->pid, primary);
    if (primaryText) {
        co_return co_await m_capture.snapshotFromExternalText(*primaryText, mouseLocation);
    }

    // Without a copy keystroke the user's clipboard is left alone.
    if (!m_platform.keys.canSendKeys())
        co_return std::nullopt;
    // Held until the restore below; released however the capture ends.
    std::optional<ClipboardLease::Hold> hold = m_lease.tryTake();
    if (!hold) {
        qCInfo(lc) << "the clipboard is borrowed by another capture or a paste: no copy";
        co_return std::nullopt;
    }
    ClipboardServices& clipboard = m_platform.clipboard;
    const std::optional<QList<ClipboardItem>> backedUp = co_await backupItems(clipboard);
    if (!backedUp)
        co_return std::nullopt;
    const QList<ClipboardItem>& backup = *backedUp;
    clipboard.clearContents();
    const qint64 baseline = clipboard.changeCount();
    if (!m_platform.keys.postCopyCommand(frontmost->pid)) {
        // No copy keystroke is safe here (a terminal would take Ctrl+C as an interrupt).
        clipboard.clearContents();
        if (!backup.isEmpty())
            clipboard.writeItems(backup);
        co_return std::nullopt;
    }

    std::optional<QString> copied;
    // A cancelled capture reads nothing more: the clipboard goes back at once.
    co_await waitOrCancel(m_scheduler, firstWait, token);
    if (!token.isCancelled() && clipboard.changeCount() > baseline)
        copied = co_await clipboard.readString();
    if (!copied && !token.isCancelled()) {
        co_await waitOrCancel(m_scheduler, secondWait, token);
        if (!token.isCancelled() && clipboard.changeCount() > baseline)
            copied = co_await clipboard.readString();
    }

    clipboard.clearContents();
    if (!backup.isEmpty())
        clipboard.writeItems(backup);
    hold.reset(); // the clipboard is the user's again

    if (!copied || !SelectionText::isCapturable(*copied))
        co_return std::nullopt;
    if (copied == textOf(backup)) {
        qCInfo(lc) << "the copy gave the clipboard's own text back: no selection";
        co_return std::nullopt;
    }
    co_return co_await m_capture.snapshotFromExternalText(*copied, mouseLocation);
}

} // namespace ovra
