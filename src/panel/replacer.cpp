#include "panel/replacer.h"

#include "support/errors.h"
#include "support/sleep.h"

namespace ovra {

ReplaceOutcome ReplaceOutcome::failed() {
    return {Kind::failed, Replacer::failureMessage};
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

} // namespace

bool valueShows(const QString& value, const QString& newText) {
    return value.normalized(QString::NormalizationForm_C)
        .contains(newText.normalized(QString::NormalizationForm_C), Qt::CaseSensitive);
}

bool replaceViaAccessibility(AccessibilityServices& accessibility,
                             const SelectionSnapshot& snapshot, const QString& newText) {
    if (snapshot.element.isNull())
        return false;
    // Select the captured range again; the user may have moved the caret since.
    accessibility.setSelectedTextRange(snapshot.element, snapshot.range);
    if (accessibility.setSelectedText(snapshot.element, newText) != AXStatus::Success)
        return false;
    const AXResult<QString> value = accessibility.value(snapshot.element);
    // A value that cannot be read back cannot contradict the accepted write.
    if (!value.ok())
        return true;
    return valueShows(value.value, newText);
}

QList<ClipboardItem> captureItems(ClipboardServices& clipboard) {
    QList<ClipboardItem> items;
    const int count = clipboard.itemCount();
    for (int index = 0; index < count; ++index) {
        ClipboardItem copy;
        for (const QString& type : clipboard.types(index)) {
            if (std::optional<QByteArray> bytes = clipboard.data(index, type))
                copy.representations.append({type, *bytes});
        }
        items.append(std::move(copy));
    }
    return items;
}

QCoro::Task<bool> replaceViaPaste(ReplacementPlatform platform, SelectionSnapshot snapshot,
                                  QString newText) {
    ClipboardServices& clipboard = platform.clipboard;
    const QList<ClipboardItem> saved = captureItems(clipboard);

    clipboard.clearContents();
    clipboard.writeItems({pasteItem(newText)});
    if (clipboard.string() != newText) {
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
    if (!platform.keys.postPasteCommand(snapshot.pid)) {
        // No paste keystroke reaches this application (a terminal that takes none, say).
        restoreClipboard(clipboard, saved);
        co_return false;
    }

    try {
        co_await sleepFor(platform.scheduler, clipboardRestoreDelay);
    } catch (const CancelledError&) {
        // The clipboard is put back whatever ended the wait.
    }
    restoreClipboard(clipboard, saved);
    co_return true;
}

QCoro::Task<bool> bringToFront(ReplacementPlatform platform, qint32 pid) {
    const auto isFrontmost = [&] {
        const std::optional<RunningApplication> frontmost =
            platform.workspace.frontmostApplication();
        return frontmost && frontmost->pid == pid;
    };
    if (isFrontmost())
        co_return true;
    if (pid <= 0 || !platform.workspace.activateApplication(pid))
        co_return false;
    for (Duration waited{0}; waited < activationTimeout; waited += activationPollInterval) {
        co_await sleepFor(platform.scheduler, activationPollInterval);
        if (isFrontmost())
            co_return true;
    }
    co_return false;
}

QCoro::Task<ReplaceOutcome> replace(ReplacementPlatform platform, SelectionSnapshot snapshot,
                                    QString newText) {
    // A named job: g++ 12 frees captures of a temporary lambda inside co_await twice.
    std::function<bool(AccessibilityWorker&)> job = [snapshot,
                                                     newText](AccessibilityWorker& worker) {
        return replaceViaAccessibility(worker.accessibility(), snapshot, newText);
    };
    const std::optional<bool> written = co_await platform.accessibility.run<bool>(
        std::move(job), AccessibilityCapture::writeDeadline);
    if (written && *written)
        co_return ReplaceOutcome::replacedViaAccessibility();
    // An application that did not answer may have taken part of the write: no paste on top.
    if (!written)
        co_return ReplaceOutcome::failed();
    // Keystrokes go to the active window: a paste anywhere else would land in the wrong place.
    const bool sourceInFront = co_await bringToFront(platform, snapshot.pid);
    if (!sourceInFront)
        co_return ReplaceOutcome::failed();
    const bool pasted = co_await replaceViaPaste(platform, std::move(snapshot), std::move(newText));
    co_return pasted ? ReplaceOutcome::replacedViaPaste() : ReplaceOutcome::failed();
}

} // namespace Replacer

} // namespace ovra
