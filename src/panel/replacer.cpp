#include "panel/replacer.h"

#include "capture/copy_capture.h"
#include "settings/l10n.h"
#include "support/errors.h"
#include "support/logging.h"
#include "support/sleep.h"

#include <algorithm>

OVRA_LOGGING_CATEGORY("ovra.panel");

namespace ovra {

ReplaceOutcome ReplaceOutcome::failed() {
    return {Kind::failed, Replacer::failureMessage};
}

ReplaceOutcome ReplaceOutcome::selectionChanged() {
    return {Kind::selectionChanged, L10n::string(QStringLiteral("panel.selectionChanged"))};
}

ReplaceOutcome ReplaceOutcome::pasteUnconfirmed() {
    return {Kind::failed, L10n::string(QStringLiteral("panel.pasteUnconfirmed"))};
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

// Whether the element's text `now` is `expected`, compared whole (an application may lose text
// anywhere, far from the range) in canonical forms, as an application may store a text composed
// otherwise.
bool readsAs(const QString& now, const QString& expected) {
    return canonical(now) == canonical(expected);
}

// Makes the element's text, now `now`, read `before` again by rewriting only what the write put
// in place of `range`: the text on either side must still be as it was before, else something
// else changed it too (another program's edit between the reads, or text the application lost),
// and rewriting more would undo that edit or guess. Whether it reads as before afterwards
// (checked as the write was).
bool putBack(AccessibilityServices& accessibility, const AccessibleElement& element,
             const QString& now, const QString& before, TextRange range) {
    const qint64 end = range.location + range.length;
    const qint64 after = before.size() - end;
    if (after < 0 || now.size() < range.location + after ||
        QStringView(now).left(range.location) != QStringView(before).left(range.location) ||
        QStringView(now).right(after) != QStringView(before).mid(end))
        return false;
    const TextRange written{range.location, now.size() - range.location - after};
    const QString old = before.mid(range.location, range.length);
    // Whatever it answers, the text read afterwards tells whether it worked.
    if (now.mid(written.location, written.length) != old)
        accessibility.replaceText(element, written, old);
    const AccessResult<QString> again = accessibility.value(element);
    return again.ok() && readsAs(again.value, before);
}

} // namespace

AccessibilityWrite replaceViaAccessibility(AccessibilityServices& accessibility,
                                           const SelectionSnapshot& snapshot,
                                           const QString& newText) {
    const AccessibleElement& element = snapshot.element;
    const TextRange range = snapshot.range;
    if (element.isNull())
        return AccessibilityWrite::notWritten;
    // A write that cannot be checked against the text before it is not made.
    const AccessResult<QString> before = accessibility.value(element);
    if (!before.ok())
        return AccessibilityWrite::notWritten;
    // The user may have typed over the selection since it was captured: that text is theirs.
    if (canonical(before.value.mid(range.location, range.length)) != canonical(snapshot.text))
        return AccessibilityWrite::selectionChanged;

    const bool accepted =
        accessibility.replaceText(element, range, newText) == AccessStatus::Success;
    // Unreadable now, the text may hold part of the write: it can be neither trusted nor pasted
    // over.
    const AccessResult<QString> after = accessibility.value(element);
    if (!after.ok()) {
        qCWarning(lc) << "the text could not be read after a write";
        return AccessibilityWrite::damaged;
    }

    const QString expected = before.value.left(range.location) + newText +
                             before.value.mid(range.location + range.length);
    if (accepted && readsAs(after.value, expected))
        return AccessibilityWrite::replaced;
    // Only a refused write that left the text as it was may be followed by a paste.
    if (!accepted && readsAs(after.value, before.value))
        return AccessibilityWrite::notWritten;
    // The old text left beside the new one, the new one put elsewhere, text lost away from the
    // range: the application does not write as asked, so the text is put back and nothing more
    // is written (a paste into it may go as wrong).
    const bool restored = putBack(accessibility, element, after.value, before.value, range);
    qCWarning(lc) << "a write did not land as written; text put back:" << restored;
    return restored ? AccessibilityWrite::undone : AccessibilityWrite::damaged;
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

namespace {

// The element a paste goes into, as read just before it: its text, when it can be read.
struct PasteTarget {
    std::optional<QString> before;
    bool selectionChanged = false; // the range no longer holds the captured text
    bool rangeNotSelected = false; // the range could not be selected again
};

// Selects the captured range again, so that the paste replaces it, and reads the text the paste
// will be checked against. Runs on the accessibility thread.
PasteTarget preparePasteTarget(AccessibilityServices& accessibility,
                               const SelectionSnapshot& snapshot) {
    PasteTarget target;
    const AccessResult<QString> text = accessibility.value(snapshot.element);
    if (text.ok()) {
        const QString inRange = text.value.mid(snapshot.range.location, snapshot.range.length);
        if (canonical(inRange) != canonical(snapshot.text))
            return {{}, true};
        target.before = text.value;
    }
    // A paste replaces whatever is selected: where the range is not the selection now (the
    // application refused to select it, or selected something else), it would land elsewhere and
    // take that text with it. A selection that cannot be read back is taken on the set's word.
    const AccessStatus selected =
        accessibility.setSelectedTextRange(snapshot.element, snapshot.range);
    const AccessResult<TextRange> now = accessibility.selectedTextRange(snapshot.element);
    if (now.ok() ? now.value != snapshot.range : selected != AccessStatus::Success)
        target.rangeNotSelected = true;
    return target;
}

// Whether the element's text comes to read as `before` with only the range replaced by
// `newText`, checked as an accessibility write is, within pasteLandDeadline. The application
// inserts the pasted text some time after it read it; until then the text may read as before, or
// half changed.
QCoro::Task<bool> pasteLanded(ReplacementPlatform platform, SelectionSnapshot snapshot,
                              QString before, QString newText) {
    const TextRange range = snapshot.range;
    const QString expected =
        before.left(range.location) + newText + before.mid(range.location + range.length);
    const Duration until = platform.scheduler.now() + pasteLandDeadline;
    for (;;) {
        // A named job: g++ 12 frees captures of a temporary lambda inside co_await twice.
        std::function<bool(AccessibilityWorker&)> job = [element = snapshot.element,
                                                         expected](AccessibilityWorker& worker) {
            const AccessResult<QString> now = worker.accessibility().value(element);
            return now.ok() && readsAs(now.value, expected);
        };
        const Duration left = std::max(until - platform.scheduler.now(), pasteLandPollInterval);
        const std::optional<bool> landed =
            co_await platform.accessibility.run<bool>(std::move(job), left);
        if (landed.value_or(false))
            co_return true;
        if (platform.scheduler.now() + pasteLandPollInterval > until)
            co_return false;
        co_await sleepFor(platform.scheduler, pasteLandPollInterval);
    }
}

} // namespace

QCoro::Task<ReplaceOutcome> replaceViaPaste(ReplacementPlatform platform,
                                            SelectionSnapshot snapshot, QString newText) {
    // Without a keystroke to paste with, the user's clipboard is left alone.
    if (!platform.keys.canSendKeys())
        co_return ReplaceOutcome::failed();
    // A copy capture may be borrowing the clipboard: its restore must not land on our text, nor
    // our backup be its temporary contents.
    std::optional<ClipboardLease::Hold> hold =
        co_await platform.clipboardLease.take(clipboardLeaseWait);
    if (!hold) {
        qCInfo(lc) << "the clipboard stayed borrowed: no paste";
        co_return ReplaceOutcome::failed();
    }
    ClipboardServices& clipboard = platform.clipboard;
    const std::optional<QList<ClipboardItem>> backedUp =
        co_await CopyCapture::backupItems(clipboard);
    if (!backedUp)
        co_return ReplaceOutcome::failed();
    const QList<ClipboardItem>& saved = *backedUp;

    clipboard.clearContents();
    clipboard.writeItems({pasteItem(newText)});
    const std::optional<QString> offered = co_await clipboard.readString();
    if (offered != newText) {
        restoreClipboard(clipboard, saved);
        co_return ReplaceOutcome::failed();
    }

    // What the text reads just before the paste is what the paste is checked against; where it
    // cannot be read (or the application does not answer), the paste is taken on trust.
    std::optional<QString> before;
    if (!snapshot.element.isNull()) {
        std::function<PasteTarget(AccessibilityWorker&)> job =
            [snapshot](AccessibilityWorker& worker) {
                return preparePasteTarget(worker.accessibility(), snapshot);
            };
        const std::optional<PasteTarget> target = co_await platform.accessibility.run<PasteTarget>(
            std::move(job), AccessibilityCapture::writeDeadline);
        // Typed over while the clipboard was prepared: that text is the user's.
        if (target && target->selectionChanged) {
            restoreClipboard(clipboard, saved);
            co_return ReplaceOutcome::selectionChanged();
        }
        if (target && target->rangeNotSelected) {
            qCWarning(lc) << "the range could not be selected again: no paste";
            restoreClipboard(clipboard, saved);
            co_return ReplaceOutcome::failed();
        }
        if (target)
            before = target->before;
    }
    // The user may have switched windows while the clipboard was prepared: keystrokes go to the
    // active window, and any other would get the text.
    if (!sourceIsActive(platform.workspace, snapshot)) {
        qCInfo(lc) << "the source window is no longer active: no paste";
        restoreClipboard(clipboard, saved);
        co_return ReplaceOutcome::failed();
    }
    if (!platform.keys.postPasteCommand(snapshot.pid)) {
        // No paste keystroke reaches this application (a terminal that takes none, say).
        restoreClipboard(clipboard, saved);
        co_return ReplaceOutcome::failed();
    }
    // Put back only once the source has taken our text: earlier, a slow application would paste
    // the user's own clipboard instead. (Its request is answered on a later turn of the loop, so
    // waiting from here misses none.)
    const bool taken = co_await clipboard.waitUntilRead(snapshot.pid, pasteReadDeadline);
    restoreClipboard(clipboard, saved);
    hold.reset(); // the clipboard is the user's again; checking the text needs no lease
    if (!taken) {
        qCWarning(lc) << "the source did not read the pasted text in time";
        co_return ReplaceOutcome::failed();
    }
    if (!before)
        co_return ReplaceOutcome::replacedViaPaste();
    // A paste may land short, beside the old text, or not at all (a field that filters it): it
    // is a success only where the text shows it. Nothing is undone by keystrokes, which could
    // take more with them.
    const bool landed =
        co_await pasteLanded(platform, std::move(snapshot), std::move(*before), std::move(newText));
    if (!landed) {
        qCWarning(lc) << "the text did not read as pasted in time";
        co_return ReplaceOutcome::pasteUnconfirmed();
    }
    co_return ReplaceOutcome::replacedViaPaste();
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
    // Only a write refused with the text left as it was goes on to a paste.
    if (*written != AccessibilityWrite::notWritten)
        co_return ReplaceOutcome::failed();
    qCInfo(lc) << "the accessibility write did not replace the text; pasting instead";
    // Keystrokes go to the active window: a paste anywhere else would land in the wrong place.
    const bool sourceInFront = co_await bringToFront(platform, snapshot);
    if (!sourceInFront)
        co_return ReplaceOutcome::failed();
    co_return co_await replaceViaPaste(platform, std::move(snapshot), std::move(newText));
}

} // namespace Replacer

QCoro::Task<ReplaceOutcome> PlatformTextReplacing::replace(SelectionSnapshot snapshot,
                                                           QString newText) {
    std::optional<OwnWrites::Write> write;
    if (m_ownWrites)
        write.emplace(m_ownWrites->begin(snapshot.pid));
    co_return co_await Replacer::replace(m_platform, std::move(snapshot), std::move(newText));
}

} // namespace ovra
