#include "capture/selection_monitor.h"

#include "support/logging.h"
#include "support/work_owner.h"

#include <QElapsedTimer>
#include <QHash>

OVRA_LOGGING_CATEGORY("ovra.capture");

namespace ovra {

namespace {

// Combinations that may change a keyboard selection: any key with Shift held (arrows, Home/End,
// pages), and select-all, which is Ctrl+A on Linux and Super+A for users of Command-style
// bindings. Copying (Ctrl+C) and other shortcuts are not selection gestures, and neither is a
// modifier on its own (Shift tapped, or Alt+Shift switching the keyboard layout).
bool isSelectingCombination(const InputEvent& event) {
    if (event.isModifierKey)
        return false;
    if (event.modifiers.testFlag(Modifier::Shift))
        return true;
    const bool shortcutModifier =
        event.modifiers.testFlag(Modifier::Control) || event.modifiers.testFlag(Modifier::Super);
    return shortcutModifier && event.charactersIgnoringModifiers.toLower() == u"a";
}

// A key that types into the application (or moves its caret): one without a shortcut modifier.
// Shortcuts are left alone, this program's own synthetic copy and paste among them.
bool typesIntoTheApplication(const InputEvent& event) {
    return !event.isModifierKey && !event.modifiers.testFlag(Modifier::Control) &&
           !event.modifiers.testFlag(Modifier::Alt) && !event.modifiers.testFlag(Modifier::Super);
}

// The frontmost application's id, asked for only while diagnostics are on.
QString frontmostForLog(WorkspaceServices& workspace) {
    if (!lc().isInfoEnabled())
        return {};
    const auto app = workspace.frontmostApplication();
    return app ? app->appId : QStringLiteral("(none)");
}

// Whether `copied` is `line` as an editor copies it without a selection: the line, and its break.
bool isLineCopy(const QString& copied, const QString& line) {
    QString text = copied;
    if (text.endsWith(u'\n'))
        text.chop(text.endsWith(QStringLiteral("\r\n")) ? 2 : 1);
    return text == line;
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageUp and Ctrl+PageDown: the way to another tab or sheet of
// the same window (browsers, office suites, terminals). What the user sees and types into changes
// as much as with another window, though the window system sees no switch.
bool switchesTab(const InputEvent& event) {
    if (!event.modifiers.testFlag(Modifier::Control))
        return false;
    if (event.keyCode == KeyCode::Tab)
        return true;
    return !event.modifiers.testFlag(Modifier::Shift) &&
           (event.keyCode == KeyCode::PageUp || event.keyCode == KeyCode::PageDown);
}

QString keyIdentity(const InputEvent& event) {
    return QString::number(event.keyCode) + u'|' + event.charactersIgnoringModifiers.toLower();
}

} // namespace

SelectionMonitor::SelectionMonitor(CapturePlatform& platform, AccessibilityCapture& capture,
                                   Scheduler& scheduler, ClipboardLease& clipboardLease,
                                   CaptureFilter filter, const OwnWrites* ownWrites)
    : m_platform(platform), m_capture(capture), m_scheduler(scheduler), m_filter(filter),
      m_ownWrites(ownWrites),
      m_copyCapture(platform, capture, scheduler, clipboardLease, std::move(filter)),
      m_pendingCapture(scheduler) {}

SelectionMonitor::~SelectionMonitor() {
    stop();
    m_lifetime.reset();
    // A copy capture waiting on the clipboard finishes now, so the user's clipboard comes back.
    m_manualCaptures.cancel();
}

void SelectionMonitor::start() {
    if (m_isRunning)
        return;
    m_isRunning = true;

    const WorkOwner alive(m_lifetime.get());
    auto global = [this, alive](const InputEvent& event) {
        if (alive)
            handleGlobalEvent(event);
    };
    auto local = [this, alive](const InputEvent& event) {
        if (alive)
            handleLocalEvent(event);
    };
    m_subscriptions.push_back(
        m_platform.input.addGlobalMonitor(InputEventType::LeftMouseUp, global));
    m_subscriptions.push_back(m_platform.input.addGlobalMonitor(InputEventType::KeyUp, global));
    m_subscriptions.push_back(
        m_platform.input.addGlobalMonitor(InputEventType::LeftMouseDown, global));
    m_subscriptions.push_back(m_platform.input.addGlobalMonitor(InputEventType::KeyDown, global));
    m_subscriptions.push_back(m_platform.input.addGlobalMonitor(
        InputEventTypes(InputEventType::SelectionChanged) | InputEventType::SelectionSettled,
        global));
    m_subscriptions.push_back(m_platform.input.addLocalMonitor(InputEventType::KeyDown, local));
    m_subscriptions.push_back(
        m_platform.workspace.observeActivation([this, alive](const RunningApplication&) {
            if (!alive)
                return;
            // Any switch, this application's own included, ends the panel and its suppression;
            // so does another window of the same application, where a paste would no longer go
            // where the text was selected. A capture still to come stays: the window system may
            // report the switch after the gesture that made it (a drag in the window just
            // clicked), and the capture reads whatever application is in front by then.
            m_lastActivation = m_scheduler.now();
            if (m_onDismiss)
                m_onDismiss();
            m_suppressedSignature.reset();
        }));
}

void SelectionMonitor::stop() {
    m_isRunning = false;
    m_selectingKeysDown.clear();
    m_pendingCapture.cancel();
    m_subscriptions.clear();
}

void SelectionMonitor::handleGlobalEvent(const InputEvent& event) {
    switch (event.type) {
    case InputEventType::LeftMouseUp:
        scheduleCapture(m_platform.screens.pointerLocation(), false);
        break;
    case InputEventType::KeyUp: {
        // The chord ends when its key comes up, whether the modifiers were let go before it or
        // are still held; letting go of the modifiers afterwards adds nothing.
        const bool pressedSelecting = m_selectingKeysDown.remove(keyIdentity(event));
        if (pressedSelecting || isSelectingCombination(event))
            scheduleCapture(m_platform.screens.pointerLocation(), false);
        break;
    }
    case InputEventType::LeftMouseDown:
        dismiss();
        break;
    case InputEventType::KeyDown:
        // Typing over the selection leaves the panel about text that is no longer there.
        if (switchesTab(event)) {
            dismiss();
        } else if (isSelectingCombination(event)) {
            m_selectingKeysDown.insert(keyIdentity(event));
        } else if (event.keyCode == KeyCode::Escape) {
            dismiss();
        } else if (typesIntoTheApplication(event)) {
            // The key types over the selection or moves the caret away from it: the selection
            // the panel was closed on (now too) is gone, and selecting the same text again
            // shows it.
            dismiss();
            m_suppressedSignature.reset();
        }
        break;
    case InputEventType::SelectionChanged:
        // The application answering this program's own write: the panel that wrote stays.
        if (m_ownWrites && m_ownWrites->explains(event.pid))
            break;
        scheduleSettledCapture(settleDelay);
        break;
    case InputEventType::SelectionSettled:
        if (m_ownWrites && m_ownWrites->explains(event.pid))
            break;
        // Nothing that selects is held any more: only the application's last report may still
        // be on its way, and a late one starts the wait again.
        scheduleSettledCapture(captureDelay);
        break;
    }
}

void SelectionMonitor::handleLocalEvent(const InputEvent& event) {
    if (event.type == InputEventType::KeyDown && event.keyCode == KeyCode::Escape)
        dismiss();
}

void SelectionMonitor::scheduleCapture(std::optional<QPointF> mouseLocation, bool isRetry) {
    m_lastTriggerMouseLocation = mouseLocation;
    m_retryAllowed = true;
    ++m_generation;
    // Rescheduling replaces the pending capture: only the last gesture counts.
    m_pendingCapture.schedule(isRetry ? retryDelay : captureDelay,
                              [this, isRetry] { captureNow(isRetry); });
}

void SelectionMonitor::scheduleSettledCapture(std::chrono::milliseconds delay) {
    // No pointer to go by: the report named the application, and the capture asks it first.
    m_lastTriggerMouseLocation.reset();
    m_retryAllowed = false;
    ++m_generation;
    m_pendingCapture.schedule(delay, [this] { captureNow(false); });
}

void SelectionMonitor::captureNow(bool isRetry) {
    if (!m_platform.accessSwitch.isAccessEnabled()) {
        qCInfo(lc) << "nothing shown: accessibility is off";
        dismiss();
        return;
    }
    runAutomaticCapture(isRetry, ++m_generation);
}

QCoro::Task<void> SelectionMonitor::runAutomaticCapture(bool isRetry, quint64 generation) {
    const WorkOwner alive(m_lifetime.get());
    QElapsedTimer timer;
    timer.start();
    const auto frontmostPid = [this] {
        const std::optional<RunningApplication> front = m_platform.workspace.frontmostApplication();
        return front ? front->pid : 0;
    };
    const qint32 frontBefore = frontmostPid();
    const std::optional<WindowId> windowBefore = m_platform.workspace.frontmostWindow();
    const CaptureOutcome outcome =
        co_await m_capture.captureSelection(m_lastTriggerMouseLocation, CaptureKind::Automatic);
    if (!alive || generation != m_generation)
        co_return; // a newer gesture or a dismissal came first
    const std::optional<SelectionSnapshot>& snapshot = outcome.snapshot;
    qCInfo(lc).nospace() << "accessibility stage " << (snapshot ? "found" : "found no")
                         << " selection in " << timer.elapsed() << " ms"
                         << (isRetry ? " (retry)" : "") << (outcome.timedOut ? " (timed out)" : "")
                         << (outcome.skipped ? " (skipped)" : "") << ", app "
                         << (snapshot ? snapshot->appId : frontmostForLog(m_platform.workspace));
    if (!snapshot) {
        // No selection: the one the panel was closed on is gone, even if a retry follows. A new
        // gesture that selects it again before the retry has run shows the panel.
        m_suppressedSignature.reset();
        // A retry would only wait on an application that does not answer.
        if (!isRetry && m_retryAllowed && !outcome.timedOut && !outcome.skipped)
            scheduleCapture(m_lastTriggerMouseLocation, true);
        else
            dismiss();
        co_return;
    }
    if (m_suppressedSignature && *m_suppressedSignature == signature(*snapshot)) {
        qCInfo(lc) << "nothing shown: the panel was closed on this selection";
        dismiss(); // the selection the user closed the panel on; the suppression stays
        co_return;
    }
    m_suppressedSignature.reset();
    // Another application or window came to the front while the capture ran. (Compared with the
    // front before, not with the selection's process: a sandboxed application may name another.)
    if (frontmostPid() != frontBefore || m_platform.workspace.frontmostWindow() != windowBefore) {
        dismiss();
        co_return;
    }
    if (isAllowed(*snapshot)) {
        show(*snapshot);
    } else {
        qCInfo(lc) << "nothing shown: app" << snapshot->appId << "is ignored or is Ovra";
        dismiss();
    }
}

void SelectionMonitor::triggerManualCapture(std::function<void(const SelectionSnapshot&)> deliver) {
    const QPointF mouseLocation = m_platform.screens.pointerLocation();
    const WorkOwner alive(m_lifetime.get());
    // Run as its own step, after the shortcut's handler has returned.
    m_scheduler.schedule(Duration::zero(),
                         [this, alive, mouseLocation, deliver = std::move(deliver)]() mutable {
                             if (!alive)
                                 return;
                             m_manualMouseLocation = mouseLocation;
                             m_manualDeliver = std::move(deliver);
                             // One at a time: two would each borrow the clipboard, and a second
                             // one's answer adds nothing to what the first is finding.
                             if (m_manualCaptureRunning) {
                                 qCInfo(lc) << "manual capture: joins the one running";
                                 return;
                             }
                             runManualCapture();
                         });
}

QCoro::Task<void> SelectionMonitor::runManualCapture() {
    const WorkOwner alive(m_lifetime.get());
    m_manualCaptureRunning = true;
    struct Finished {
        SelectionMonitor* monitor;
        WorkOwner alive;
        ~Finished() {
            if (alive)
                monitor->m_manualCaptureRunning = false;
        }
    } finished{this, alive};
    QPointF mouseLocation = m_manualMouseLocation;
    m_suppressedSignature.reset();
    QElapsedTimer timer;
    timer.start();
    // Without accessibility the copy below is the only way to the selection.
    CaptureOutcome outcome;
    if (m_platform.accessSwitch.isAccessEnabled()) {
        outcome = co_await m_capture.captureSelection(mouseLocation, CaptureKind::Manual);
        if (!alive)
            co_return;
        if (outcome.snapshot && isAllowed(*outcome.snapshot)) {
            qCInfo(lc) << "manual capture: accessibility stage found the selection in"
                       << timer.elapsed() << "ms, app" << outcome.snapshot->appId;
            outcome.snapshot->mouseAtCapture = m_manualMouseLocation;
            deliverManual(*outcome.snapshot);
            co_return;
        }
        if (outcome.timedOut) {
            // The application does not answer; a copy keystroke would not be answered either.
            dismiss();
            co_return;
        }
    } else {
        qCInfo(lc) << "manual capture: accessibility is off";
    }
    qCInfo(lc) << "manual capture: accessibility stage found nothing usable in" << timer.elapsed()
               << "ms; trying the copy stage";
    timer.restart();
    // The copy capture applies the own- and ignored-application rules to the frontmost app.
    PrimaryTrust primary{std::nullopt, outcome.focusedSelectionEmpty};
    if (m_lastActivation)
        primary.sinceFocusChange = m_scheduler.now() - *m_lastActivation;
    mouseLocation = m_manualMouseLocation;
    auto copied = co_await m_copyCapture.capture(mouseLocation, m_manualCaptures.token(), primary);
    if (!alive)
        co_return;
    qCInfo(lc) << "manual capture: copy stage" << (copied ? "found" : "found no") << "selection in"
               << timer.elapsed() << "ms, app" << frontmostForLog(m_platform.workspace);
    if (copied && outcome.caretLine && isLineCopy(copied->text, *outcome.caretLine)) {
        qCInfo(lc) << "manual capture: the copy gave the caret's line, not a selection";
        dismiss();
    } else if (copied) {
        copied->mouseAtCapture = m_manualMouseLocation;
        deliverManual(*copied);
    } else {
        dismiss();
    }
}

void SelectionMonitor::deliverManual(const SelectionSnapshot& snapshot) {
    if (const auto deliver = std::exchange(m_manualDeliver, nullptr))
        deliver(snapshot);
    else
        show(snapshot);
}

void SelectionMonitor::dismiss() {
    m_pendingCapture.cancel();
    ++m_generation;
    if (m_onDismiss)
        m_onDismiss();
}

bool SelectionMonitor::isAllowed(const SelectionSnapshot& snapshot) const {
    return m_filter.allows(snapshot.appId);
}

void SelectionMonitor::show(const SelectionSnapshot& snapshot) {
    if (m_onSnapshot)
        m_onSnapshot(snapshot);
}

QString SelectionMonitor::signature(const SelectionSnapshot& snapshot) {
    return QString::number(snapshot.pid) + u'|' + QString::number(snapshot.range.location) + u'|' +
           QString::number(snapshot.range.length) + u'|' + QString::number(qHash(snapshot.text));
}

} // namespace ovra
