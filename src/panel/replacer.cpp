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

// Whether the element's text `now` is `expected`, where `expected` differs from the text before
// the write in [changedFrom, changedTo) only. A text of at most wholeTextCheckLimit units is
// compared whole: an application may lose text anywhere, far from the range. A longer one is
// compared around the change and by its length.
bool readsAs(const QString& now, const QString& expected, bool whole, qint64 changedFrom,
             qint64 changedTo) {
    if (whole)
        return canonical(now) == canonical(expected);
    if (now.size() != expected.size())
        return false;
    const qint64 from = std::max<qint64>(0, changedFrom - writeCheckContext);
    const qint64 length = changedTo + writeCheckContext - from;
    return canonical(now.mid(from, length)) == canonical(expected.mid(from, length));
}

// Makes the element's text, now `now`, read `original` again by rewriting only the part that
// differs from it; whether it reads so afterwards (checked as the write was).
bool putBack(AccessibilityServices& accessibility, const AccessibleElement& element,
             const QString& now, const QString& original, bool whole, TextRange range) {
    if (now != original) {
        const qsizetype shorter = std::min(now.size(), original.size());
        qsizetype prefix = 0;
        while (prefix < shorter && now.at(prefix) == original.at(prefix))
            ++prefix;
        if (prefix > 0 && now.at(prefix - 1).isHighSurrogate())
            --prefix; // never split a character
        qsizetype suffix = 0;
        while (suffix < shorter - prefix &&
               now.at(now.size() - 1 - suffix) == original.at(original.size() - 1 - suffix))
            ++suffix;
        if (suffix > 0 && now.at(now.size() - suffix).isLowSurrogate())
            --suffix;
        // Whatever it answers, the text read afterwards tells whether it worked.
        accessibility.replaceText(element, {prefix, now.size() - prefix - suffix},
                                  original.mid(prefix, original.size() - prefix - suffix));
    }
    const AXResult<QString> again = accessibility.value(element);
    return again.ok() &&
           readsAs(again.value, original, whole, range.location, range.location + range.length);
}

} // namespace

AccessibilityWrite replaceViaAccessibility(AccessibilityServices& accessibility,
                                           const SelectionSnapshot& snapshot,
                                           const QString& newText) {
    const AccessibleElement& element = snapshot.element;
    const TextRange range = snapshot.range;
    if (element.isNull())
        return AccessibilityWrite::notWritten;
    const AXResult<QString> before = accessibility.value(element);
    // The user may have typed over the selection since it was captured: that text is theirs.
    if (before.ok() &&
        canonical(before.value.mid(range.location, range.length)) != canonical(snapshot.text))
        return AccessibilityWrite::selectionChanged;

    const bool accepted = accessibility.replaceText(element, range, newText) == AXStatus::Success;
    // Text that cannot be read cannot contradict the application's answer.
    const AXResult<QString> after =
        before.ok() ? accessibility.value(element) : AXResult<QString>::failure();
    if (!after.ok())
        return accepted ? AccessibilityWrite::replaced : AccessibilityWrite::notWritten;

    const bool whole = before.value.size() <= wholeTextCheckLimit;
    const QString expected = before.value.left(range.location) + newText +
                             before.value.mid(range.location + range.length);
    if (accepted &&
        readsAs(after.value, expected, whole, range.location, range.location + newText.size()))
        return AccessibilityWrite::replaced;
    // A refused write must have left the text as it was.
    if (!accepted &&
        readsAs(after.value, before.value, whole, range.location, range.location + range.length))
        return AccessibilityWrite::notWritten;
    // The old text left beside the new one, the new one put elsewhere, text lost away from the
    // range: put the text back, then go on as a write that was refused. A text that cannot be
    // put back takes no more writes (a paste would land on top of the damage).
    const bool restored = putBack(accessibility, element, after.value, before.value, whole, range);
    qCInfo(lcPanel) << "a write did not land as written; text put back:" << restored;
    return restored ? AccessibilityWrite::notWritten : AccessibilityWrite::damaged;
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
    if (*written == AccessibilityWrite::damaged)
        co_return ReplaceOutcome::failed();
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
