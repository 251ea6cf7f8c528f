#include "capture/accessibility_capture.h"
#include "support/work_owner.h"

#include <algorithm>
#include <utility>

namespace ovra {

AccessibilityCapture::AccessibilityCapture(AccessibilityThread& thread,
                                           WorkspaceServices& workspace, Scheduler& scheduler)
    : m_thread(thread), m_workspace(workspace), m_scheduler(scheduler) {}

AccessibilityCapture::~AccessibilityCapture() = default;

bool AccessibilityCapture::isSkipped(qint32 pid) const {
    const auto found = m_unresponsive.constFind(pid);
    return found != m_unresponsive.cend() && m_scheduler.now() - found->since < unresponsiveSkip;
}

void AccessibilityCapture::markUnresponsive(qint32 pid, quint64 selectionSerial) {
    if (pid != 0)
        m_unresponsive.insert(pid, {m_scheduler.now(), selectionSerial});
}

namespace {
struct CaptureAnswer {
    std::optional<SelectionSnapshot> snapshot;
    bool skipped = false;
    quint64 selectionSerial = 0;
    bool focusedSelectionEmpty = false;
    std::optional<QString> caretLine;
};

// How far either side of the caret its line is looked for; a longer line is not recognised.
constexpr qint64 caretLineReach = 4096;

// The line around `caret` in `element`, when its ends are within reach.
std::optional<QString> lineAround(AccessibilityServices& accessibility,
                                  const AccessibleElement& element, qint64 caret) {
    const qint64 from = std::max<qint64>(0, caret - caretLineReach);
    const auto around = accessibility.stringForRange(element, {from, 2 * caretLineReach});
    if (!around.ok())
        return std::nullopt;
    const qsizetype at = caret - from;
    // (From -1 Qt would search from the end.)
    const qsizetype start = at > 0 ? around.value.lastIndexOf(u'\n', at - 1) + 1 : 0;
    qsizetype end = around.value.indexOf(u'\n', at);
    if (end < 0)
        end = around.value.size();
    const bool startFound = start > 0 || from == 0;
    const bool endFound = end < around.value.size() || around.value.size() < 2 * caretLineReach;
    if (!startFound || !endFound || at > around.value.size())
        return std::nullopt;
    return around.value.mid(start, end - start);
}

// Whether the focused element says that nothing is selected in it (a caret is no selection), and
// the caret's line then.
void readFocusedCaret(AccessibilityWorker& worker, CaptureAnswer& answer) {
    const QList<AccessibleElement> focused = worker.bridge().focusedElementCandidates();
    if (focused.isEmpty())
        return;
    const auto range = worker.accessibility().selectedTextRange(focused.first());
    answer.focusedSelectionEmpty = range.ok() && range.value.length == 0;
    if (answer.focusedSelectionEmpty)
        answer.caretLine =
            lineAround(worker.accessibility(), focused.first(), range.value.location);
}
} // namespace

QCoro::Task<CaptureOutcome>
AccessibilityCapture::captureSelection(std::optional<QPointF> mouseLocation, CaptureKind kind) {
    const std::optional<RunningApplication> frontmost = m_workspace.frontmostApplication();
    const qint32 frontmostPid = frontmost ? frontmost->pid : 0;
    const std::optional<WindowId> frontmostWindow = m_workspace.frontmostWindow();
    // An application skipped for a time-out is asked again once it reports a selection change.
    std::optional<quint64> skipUnlessNewerThan;
    if (kind == CaptureKind::Automatic && isSkipped(frontmostPid))
        skipUnlessNewerThan = m_unresponsive.value(frontmostPid).selectionSerial;

    const WorkOwner alive(&m_lifetime);
    // Known even when the capture itself does not come back in time.
    auto serialAtStart =
        std::make_shared<std::atomic<quint64>>(m_lastSerialSeen.value(frontmostPid));
    // A named job: g++ 12 frees captures of a temporary lambda inside co_await twice.
    std::function<CaptureAnswer(AccessibilityWorker&)> job =
        [frontmost, frontmostPid, mouseLocation, skipUnlessNewerThan, serialAtStart,
         kind](AccessibilityWorker& worker) {
            const quint64 serial = worker.accessibility().lastSelectionEvent(frontmostPid).serial;
            serialAtStart->store(serial);
            if (skipUnlessNewerThan && serial <= *skipUnlessNewerThan)
                return CaptureAnswer{std::nullopt, true, serial};
            worker.context().set(frontmost);
            CaptureAnswer answer{worker.bridge().captureSelection(mouseLocation), false, serial};
            if (!answer.snapshot && kind == CaptureKind::Manual)
                readFocusedCaret(worker, answer);
            return answer;
        };
    // Only an application that let a call run into the time-out is left alone; a capture that is
    // merely slow (a loaded machine) shows nothing this time and nothing more.
    std::function<void(bool)> whenDone = [this, alive, frontmostPid, serialAtStart](bool hung) {
        if (hung && alive)
            markUnresponsive(frontmostPid, serialAtStart->load());
    };
    auto found = co_await run<CaptureAnswer>(std::move(job), captureDeadline, std::move(whenDone));
    if (!alive)
        co_return CaptureOutcome{};
    if (!found) {
        co_return CaptureOutcome{std::nullopt, true, false};
    }
    m_lastSerialSeen.insert(frontmostPid, found->selectionSerial);
    if (found->skipped)
        co_return CaptureOutcome{std::nullopt, false, true};
    m_unresponsive.remove(frontmostPid);
    std::optional<SelectionSnapshot> snapshot = std::move(found->snapshot);
    if (snapshot && snapshot->pid == frontmostPid)
        snapshot->window = frontmostWindow;
    if (snapshot && snapshot->appId.isEmpty() && snapshot->appName.isEmpty()) {
        if (const auto app = m_workspace.runningApplication(snapshot->pid)) {
            snapshot->appId = app->appId;
            snapshot->appName = app->name;
        }
    }
    co_return CaptureOutcome{std::move(snapshot), false, false, found->focusedSelectionEmpty,
                             std::move(found->caretLine)};
}

QCoro::Task<std::optional<SelectionSnapshot>>
AccessibilityCapture::snapshotFromExternalText(QString text, std::optional<QPointF> mouseLocation) {
    const std::optional<RunningApplication> frontmost = m_workspace.frontmostApplication();
    const std::optional<WindowId> frontmostWindow = m_workspace.frontmostWindow();
    // A named job: g++ 12 frees captures of a temporary lambda inside co_await twice.
    std::function<std::optional<SelectionSnapshot>(AccessibilityWorker&)> job =
        [frontmost, text, mouseLocation](AccessibilityWorker& worker) {
            worker.context().set(frontmost);
            return worker.bridge().snapshotFromExternalText(text, mouseLocation);
        };
    auto found = co_await run<std::optional<SelectionSnapshot>>(std::move(job), captureDeadline);
    if (found && *found && frontmost && (*found)->pid == frontmost->pid)
        (*found)->window = frontmostWindow;
    if (found)
        co_return std::move(*found);
    // The text itself is known; only the element to write back to is not.
    if (!frontmost || frontmost->pid == 0)
        co_return std::nullopt;
    SelectionSnapshot result;
    result.range = SelectionText::wholeTextRange(text);
    result.text = std::move(text);
    result.mouseAtCapture = mouseLocation;
    result.pid = frontmost->pid;
    result.window = frontmostWindow;
    result.appId = frontmost->appId;
    result.appName = frontmost->name;
    co_return result;
}

QList<QRectF> AccessibilityCapture::toolbarRects(qint32 pid) {
    Toolbars& known = m_toolbars[pid];
    const bool fresh =
        known.foundAt != Duration::zero() && m_scheduler.now() - known.foundAt < toolbarsFreshFor;
    if (!fresh && !known.refreshing && !isSkipped(pid)) {
        known.refreshing = true;
        refreshToolbars(pid);
    }
    return known.rects;
}

QCoro::Task<void> AccessibilityCapture::refreshToolbars(qint32 pid) {
    const WorkOwner alive(&m_lifetime);
    // A named job: g++ 12 frees captures of a temporary lambda inside co_await twice.
    std::function<QList<QRectF>(AccessibilityWorker&)> job = [pid](AccessibilityWorker& worker) {
        worker.context().set(std::nullopt);
        return worker.bridge().toolbarRects(pid);
    };
    auto found = co_await run<QList<QRectF>>(std::move(job), toolbarDeadline);
    if (!alive)
        co_return;
    Toolbars& known = m_toolbars[pid];
    known.refreshing = false;
    if (found) {
        known.rects = std::move(*found);
        known.foundAt = std::max(m_scheduler.now(), Duration{1});
    }
}

} // namespace ovra
