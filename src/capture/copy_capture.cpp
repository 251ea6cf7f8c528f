#include "capture/copy_capture.h"

#include "support/errors.h"
#include "support/sleep.h"

#include <utility>

namespace ovra {

namespace {

// Waits on the scheduler; a cancelled wait simply ends early.
QCoro::Task<void> waitOrCancel(Scheduler& scheduler, Duration delay, CancelToken token) {
    try {
        co_await sleepFor(scheduler, delay, std::move(token));
    } catch (const CancelledError&) {
    }
}

} // namespace

CopyCapture::CopyCapture(CapturePlatform& platform, AccessibilityCapture& capture,
                         Scheduler& scheduler, CaptureFilter filter)
    : m_platform(platform), m_capture(capture), m_scheduler(scheduler),
      m_filter(std::move(filter)) {}

QList<ClipboardItem> CopyCapture::backupItems(ClipboardServices& clipboard) {
    QList<ClipboardItem> backup;
    const int count = clipboard.itemCount();
    for (int index = 0; index < count; ++index) {
        ClipboardItem item;
        const QStringList types = clipboard.types(index);
        for (const QString& type : types) {
            if (auto data = clipboard.data(index, type)) {
                item.representations.append({type, std::move(*data)});
            }
        }
        backup.append(std::move(item));
    }
    return backup;
}

std::optional<QString> CopyCapture::primaryTextOf(qint32 pid, const PrimaryTrust& trust) {
    if (trust.focusedSelectionEmpty)
        return std::nullopt;
    // X11 publishes every selection as PRIMARY. It is trusted only when its owner is known to be
    // the frontmost application: text selected earlier elsewhere must not pass for this selection.
    const auto primary = m_platform.clipboard.primarySelection();
    if (!primary || primary->ownerPid == 0 || primary->ownerPid != pid || !primary->age)
        return std::nullopt;
    const bool fresh = *primary->age <= primaryFreshFor ||
                       (trust.sinceFocusChange && *primary->age <= *trust.sinceFocusChange);
    if (!fresh)
        return std::nullopt;
    if (!SelectionText::isCapturable(primary->text))
        return std::nullopt;
    return primary->text;
}

QCoro::Task<std::optional<SelectionSnapshot>>
CopyCapture::capture(std::optional<QPointF> mouseLocation, CancelToken token,
                     PrimaryTrust primary) {
    // The copy needs no accessibility: it is the way in while the switch is off.
    const auto frontmost = m_platform.workspace.frontmostApplication();
    if (!frontmost || frontmost->bundleID.isEmpty() || frontmost->pid == 0)
        co_return std::nullopt;
    if (!m_filter.allows(frontmost->bundleID))
        co_return std::nullopt;

    if (const auto primaryText = primaryTextOf(frontmost->pid, primary)) {
        co_return co_await m_capture.snapshotFromExternalText(*primaryText, mouseLocation);
    }

    // Without a copy keystroke the user's clipboard is left alone.
    if (!m_platform.keys.canSendKeys())
        co_return std::nullopt;
    ClipboardServices& clipboard = m_platform.clipboard;
    const QList<ClipboardItem> backup = backupItems(clipboard);
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
    co_await waitOrCancel(m_scheduler, firstWait, token);
    if (clipboard.changeCount() > baseline)
        copied = clipboard.string();
    if (!copied) {
        co_await waitOrCancel(m_scheduler, secondWait, token);
        if (clipboard.changeCount() > baseline)
            copied = clipboard.string();
    }

    clipboard.clearContents();
    if (!backup.isEmpty())
        clipboard.writeItems(backup);

    if (!copied || !SelectionText::isCapturable(*copied))
        co_return std::nullopt;
    co_return co_await m_capture.snapshotFromExternalText(*copied, mouseLocation);
}

} // namespace ovra
