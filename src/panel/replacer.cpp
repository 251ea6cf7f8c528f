#include "panel/replacer.h"

#include "capture/copy_capture.h"
#include "settings/l10n.h"
#include "support/errors.h"
#include "support/log_categories.h"
#include "support/sleep.h"

#include <algorithm>

namespace ovra {

ReplaceOutcome ReplaceOutcome::failed() {
    return {Kind::failed, Replacer::failureMessage};
}

ReplaceOutcome ReplaceOutcome::selectionChanged() {
    return {Kind::selectionChanged, L10n::string(QStringLiteral("panel.selectionChanged"))};
}

namespace Replacer {

namespace {

// Our own text on the clipboard, marked so that clipboard managers keep it out of their history:
// it is there only for the length of one paste.
ClipboardItem pasteItem(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return ClipboardItem{{{ClipboardTypes::plainText, utf8},
                          {QStringLiteral("text/plain"), utf8},
                          {ClipboardTypes::passwordManagerHint, ClipboardTypes::secretHintValue}}};
}

void restoreClipboard(ClipboardServices& clipboard, const QList<ClipboardItem>& saved) {
    clipboard.clearContents();
    if (!saved.isEmpty())
        clipboard.writeItems(saved);
}

QString canonical(const QString& text) {
    return text.normalized(QString::NormalizationForm_C);
}

// The text around a range before a write: what the write must leave as it is.
struct Surroundings {
    qint64 start = 0; // where `before` begins
    QString before;
    QString after;
    bool reachesEnd = false; // `after` runs to the end of the text
};

// After a write that did not land as written, puts `old` back between the surroundings, once
// they are found again. Whether it did.
bool putBack(AccessibilityServices& accessibility, const AccessibleElement& element,
             const Surroundings& around, const QString& old, const QString& written) {
    const qint64 span = around.before.size() + written.size() + old.size() + around.after.size() +
                        writeCheckContext;
    const AXResult<QString> now = accessibility.stringForRange(element, {around.start, span});
    if (!now.ok() || !now.value.startsWith(around.before))
        return false;
    qsizetype end = -1;
    if (!around.reachesEnd)
        end = now.value.indexOf(around.after, around.before.size());
    else if (now.value.size() < span && now.value.endsWith(around.after))
        end = now.value.size() - around.after.size(); // read to the end of the text
    if (end < around.before.size())
        return false;
    const TextRange changed{around.start + around.before.size(), end - around.before.size()};
    return accessibility.replaceText(element, changed, old) == AXStatus::Success;
}

} // namespace

AccessibilityWrite replaceViaAccessibility(AccessibilityServices& accessibility,
                                           const SelectionSnapshot& snapshot,
                                           const QString& newText) {
    const AccessibleElement& element = snapshot.element;
    const TextRange range = snapshot.range;
    if (element.isNull())
        return AccessibilityWrite::notWritten;
    // The user may have typed over the selection since it was captured: that text is theirs.
    const AXResult<QString> current = accessibility.stringForRange(element, range);
    if (current.ok() && canonical(current.value) != canonical(snapshot.text))
        return AccessibilityWrite::selectionChanged;
    Surroundings around;
    around.start = std::max<qint64>(0, range.location - writeCheckContext);
    const AXResult<QString> before =
        accessibility.stringForRange(element, {around.start, range.location - around.start});
    const AXResult<QString> after =
        accessibility.stringForRange(element, {range.location + range.length, writeCheckContext});

    if (accessibility.replaceText(element, range, newText) != AXStatus::Success)
        return AccessibilityWrite::notWritten;
    // Text that cannot be read cannot contradict the accepted write.
    if (!before.ok() || !after.ok())
        return AccessibilityWrite::replaced;
    around.before = before.value;
    around.after = after.value;
    around.reachesEnd = after.value.size() < writeCheckContext;

    // Read a little further than the expected text: an application may store the new text
    // decomposed, which is longer.
    const QString expected = canonical(around.before + newText + around.after);
    const AXResult<QString> written = accessibility.stringForRange(
        element, {around.start, around.before.size() + 2 * newText.size() + around.after.size()});
    if (!written.ok())
        return AccessibilityWrite::replaced;
    const QString found = canonical(written.value);
    if (around.reachesEnd ? found == expected : found.startsWith(expected))
        return AccessibilityWrite::replaced;
    // The old text left beside the new one, or the new one put elsewhere: undo, then go on as a
    // write that was refused.
    const bool restored = putBack(accessibility, element, around,
                                  current.ok() ? current.value : snapshot.text, newText);
    qCInfo(lcPanel) << "a write did not land as written; text put back:" << restored;
    return AccessibilityWrite::notWritten;
}

namespace {

// Whether the snapshot's source is where keystrokes go now: its window where the desktop names
// windows, its application where it does not.
bool sourceIsActive(WorkspaceServices& workspace, const SelectionSnapshot& snapshot) {
    const std::optional<RunningApplication> frontmost = workspace.frontmostApplication();
    if (!frontmost || frontmost->pid != snapshot.pid)
        return false;
    return !snapshot.window || workspace.frontmostWindow() == snapshot.window;
}

} // namespace

QCoro::Task<bool> replaceViaPaste(ReplacementPlatform platform, SelectionSnapshot snapshot,
                                  QString newText) {
    // Without a keystroke to paste with, the user's clipboard is left alone.
    if (!platform.keys.canSendKeys())
        co_return false;
    // A copy capture may be borrowing the clipboard: its restore must not land on our text, nor
    // our backup be its temporary contents.
    const std::optional<ClipboardLease::Hold> hold =
        co_await platform.clipboardLease.take(clipboardLeaseWait);
    if (!hold) {
        qCInfo(lcPanel) << "the clipboard stayed borrowed: no paste";
        co_return false;
    }
    ClipboardServices& clipboard = platform.clipboard;
    const std::optional<QList<ClipboardItem>> backedUp =
        co_await CopyCapture::backupItems(clipboard);
    if (!backedUp)
        co_return false;
    const QList<ClipboardItem>& saved = *backedUp;

    clipboard.clearContents();
    clipboard.writeItems({pasteItem(newText)});
    const std::optional<QString> offered = co_await clipboard.readString();
    if (offered != newText) {
        restoreClipboard(clipboard, saved);
        co_return false;
    }

    if (!snapshot.element.isNull()) {
        // A named job: g++ 12 frees captures of a temporary lambda inside co_await twice.
        std::function<bool(AccessibilityWorker&)> job =
            [element = snapshot.element, range = snapshot.range](AccessibilityWorker& worker) {
                return worker.accessibility().setSelectedTextRange(element, range) ==
                       AXStatus::Success;
            };
        co_await platform.accessibility.run<bool>(std::move(job),
                                                  AccessibilityCapture::writeDeadline);
    }
    // The user may have switched windows while the clipboard was prepared: keystrokes go to the
    // active window, and any other would get the text.
    if (!sourceIsActive(platform.workspace, snapshot)) {
        qCInfo(lcPanel) << "the source window is no longer active: no paste";
        restoreClipboard(clipboard, saved);
        co_return false;
    }
    if (!platform.keys.postPasteCommand(snapshot.pid)) {
        // No paste keystroke reaches this application (a terminal that takes none, say).
        restoreClipboard(clipboard, saved);
        co_return false;
    }
    // Put back only once the source has taken our text: earlier, a slow application would paste
    // the user's own clipboard instead. (Its request is answered on a later turn of the loop, so
    // waiting from here misses none.)
    const bool taken = co_await clipboard.waitUntilRead(snapshot.pid, pasteReadDeadline);
    restoreClipboard(clipboard, saved);
    if (!taken)
        qCInfo(lcPanel) << "the source did not read the pasted text in time";
    co_return taken;
}

QCoro::Task<bool> bringToFront(ReplacementPlatform platform, const SelectionSnapshot& snapshot) {
    if (sourceIsActive(platform.workspace, snapshot))
        co_return true;
    const qint32 pid = snapshot.pid;
    if (pid <= 0)
        co_return false;
    const bool asked = snapshot.window ? platform.workspace.activateWindow(pid, *snapshot.window)
                                       : platform.workspace.activateApplication(pid);
    if (!asked)
        co_return false;
    for (Duration waited{0}; waited < activationTimeout; waited += activationPollInterval) {
        co_await sleepFor(platform.scheduler, activationPollInterval);
        if (sourceIsActive(platform.workspace, snapshot))
            co_return true;
    }
    co_return false;
}

QCoro::Task<ReplaceOutcome> replace(ReplacementPlatform platform, SelectionSnapshot snapshot,
                                    QString newText) {
    // A named job: g++ 12 frees captures of a temporary lambda inside co_await twice.
    std::function<AccessibilityWrite(AccessibilityWorker&)> job =
        [snapshot, newText](AccessibilityWorker& worker) {
            return replaceViaAccessibility(worker.accessibility(), snapshot, newText);
        };
    const std::optional<AccessibilityWrite> written =
        co_await platform.accessibility.run<AccessibilityWrite>(
            std::move(job), AccessibilityCapture::writeDeadline);
    // An application that did not answer may have taken part of the write: no paste on top.
    if (!written)
        co_return ReplaceOutcome::failed();
    if (*written == AccessibilityWrite::replaced)
        co_return ReplaceOutcome::replacedViaAccessibility();
    if (*written == AccessibilityWrite::selectionChanged)
        co_return ReplaceOutcome::selectionChanged();
    qCInfo(lcPanel) << "the accessibility write did not replace the text; pasting instead";
    // Keystrokes go to the active window: a paste anywhere else would land in the wrong place.
    const bool sourceInFront = co_await bringToFront(platform, snapshot);
    if (!sourceInFront)
        co_return ReplaceOutcome::failed();
    const bool pasted = co_await replaceViaPaste(platform, std::move(snapshot), std::move(newText));
    co_return pasted ? ReplaceOutcome::replacedViaPaste() : ReplaceOutcome::failed();
}

} // namespace Replacer

} // namespace ovra
