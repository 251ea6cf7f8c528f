#pragma once

#include "capture/accessibility_thread.h"
#include "capture/selection_snapshot.h"
#include "platform/workspace_services.h"
#include "support/scheduler.h"

#include <QHash>
#include <QObject>
#include <atomic>
#include <coroutine>
#include <memory>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra {

enum class CaptureKind {
    Automatic, // after a gesture: skips applications that recently stopped answering
    Manual,    // the shortcut or the menu: always asks
};

struct CaptureOutcome {
    std::optional<SelectionSnapshot> snapshot;
    bool timedOut = false; // the application did not answer in time; nothing is shown
    bool skipped = false;  // not asked: the application recently stopped answering
    // Manual captures that found nothing: the focused element reports an empty selection.
    bool focusedSelectionEmpty = false;
    // ...and the line its caret is on, without the line break: what some editors (KDE's among
    // them) copy for Ctrl+C when nothing is selected.
    std::optional<QString> caretLine;
};

// The UI thread's side of the accessibility thread: asks it for a capture, a write or any other
// accessibility work and awaits the answer without blocking. Every piece of work has a deadline;
// past it the caller gets nothing and the work is told to stop. An application that timed out is
// left alone by the automatic capture for a while, unless it reports a selection change again
// (it is answering then).
//
// UI thread only. Work still running when this object is destroyed finishes on the accessibility
// thread and its answer is dropped.
class AccessibilityCapture {
public:
    // Long enough for a deep tree on a loaded machine (a slow answer is not a hung application:
    // the per-call time-out tells those); the UI thread never waits on it either way.
    static constexpr Duration captureDeadline{2000};
    static constexpr Duration writeDeadline{2000};
    static constexpr Duration unresponsiveSkip{30'000};
    static constexpr Duration toolbarsFreshFor{10'000};
    // The toolbar walk runs behind the capture, never in front of it; slow applications (and
    // sanitized builds) need a while for it.
    static constexpr Duration toolbarDeadline{1000};

    AccessibilityCapture(AccessibilityThread& thread, WorkspaceServices& workspace,
                         Scheduler& scheduler);
    ~AccessibilityCapture();
    AccessibilityCapture(const AccessibilityCapture&) = delete;
    AccessibilityCapture& operator=(const AccessibilityCapture&) = delete;

    QCoro::Task<CaptureOutcome> captureSelection(std::optional<QPointF> mouseLocation,
                                                 CaptureKind kind);
    // See AccessibilityBridge::snapshotFromExternalText.
    QCoro::Task<std::optional<SelectionSnapshot>>
    snapshotFromExternalText(QString text, std::optional<QPointF> mouseLocation);
    // The toolbars last found in process `pid` (none yet on its first capture); a stale or missing
    // answer is refreshed in the background.
    QList<QRectF> toolbarRects(qint32 pid);
    // Whether process `pid` timed out less than unresponsiveSkip ago.
    bool isSkipped(qint32 pid) const;

    // Runs `job` on the accessibility thread with a budget of `deadline`; nothing when the
    // deadline passed or the job's calls timed out. `whenDone` (optional) hears, once the job has
    // ended (possibly after the deadline), whether a call of it ran into the per-call time-out.
    template <typename T>
    QCoro::Task<std::optional<T>> run(std::function<T(AccessibilityWorker&)> job, Duration deadline,
                                      std::function<void(bool callTimedOut)> whenDone = {});

private:
    void markUnresponsive(qint32 pid, quint64 selectionSerial);
    QCoro::Task<void> refreshToolbars(qint32 pid);

    AccessibilityThread& m_thread;
    WorkspaceServices& m_workspace;
    Scheduler& m_scheduler;
    struct Unresponsive {
        Duration since;
        quint64 selectionSerial = 0; // the application's last selection report by then
    };
    QHash<qint32, Unresponsive> m_unresponsive;
    QHash<qint32, quint64> m_lastSerialSeen;
    struct Toolbars {
        QList<QRectF> rects;
        Duration foundAt{0};
        bool refreshing = false;
    };
    QHash<qint32, Toolbars> m_toolbars;
    QObject m_lifetime; // held weakly (WorkOwner) by captures still running
};

namespace detail {

// One job's answer and its waiter, shared by the job, its completion and its deadline.
template <typename T> struct JobState {
    std::optional<T> fromWorker; // written on the accessibility thread only
    bool stopped = false;        // written on the accessibility thread only
    bool callTimedOut = false;   // written on the accessibility thread only
    std::optional<T> answer;     // the UI thread's copy
    bool finished = false;       // the waiter was (or is about to be) resumed
    std::coroutine_handle<> waiter;
    std::shared_ptr<std::atomic<bool>> abandoned = std::make_shared<std::atomic<bool>>(false);
    Scheduler::WorkId deadlineWork = 0;

    void finish() {
        finished = true;
        if (waiter)
            std::exchange(waiter, nullptr).resume();
    }
};

template <typename T> struct JobAwaiter {
    std::shared_ptr<JobState<T>> state;
    bool await_ready() const { return state->finished; }
    void await_suspend(std::coroutine_handle<> handle) { state->waiter = handle; }
    void await_resume() const {}
};

} // namespace detail

template <typename T>
QCoro::Task<std::optional<T>> AccessibilityCapture::run(std::function<T(AccessibilityWorker&)> job,
                                                        Duration deadline,
                                                        std::function<void(bool)> whenDone) {
    auto state = std::make_shared<detail::JobState<T>>();
    const auto steadyDeadline = std::chrono::steady_clock::now() + deadline;
    Scheduler* scheduler = &m_scheduler;
    m_thread.post(
        [state, job = std::move(job), steadyDeadline](AccessibilityWorker& worker) {
            worker.accessibility().begin(steadyDeadline, state->abandoned);
            state->fromWorker = job(worker);
            state->stopped = worker.accessibility().stopped();
            state->callTimedOut = worker.accessibility().callTimedOut();
        },
        [state, scheduler, whenDone = std::move(whenDone)] {
            if (whenDone)
                whenDone(state->callTimedOut);
            if (state->finished)
                return;
            scheduler->cancel(state->deadlineWork);
            if (!state->stopped)
                state->answer = std::move(state->fromWorker);
            state->finish();
        });
    state->deadlineWork = m_scheduler.schedule(deadline, [state] {
        if (state->finished)
            return;
        state->abandoned->store(true);
        state->finish();
    });
    detail::JobAwaiter<T> answered{state}; // named, not a temporary inside co_await (g++ 12)
    co_await answered;
    co_return std::move(state->answer);
}

} // namespace ovra
