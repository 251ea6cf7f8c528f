#pragma once

#include "capture/accessibility_capture.h"
#include "capture/capture_filter.h"
#include "capture/clipboard_lease.h"
#include "capture/copy_capture.h"
#include "capture/own_writes.h"
#include "capture/selection_snapshot.h"
#include "platform/capture_platform.h"
#include "platform/subscription.h"
#include "support/cancellation.h"
#include "support/scheduler.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ovra {

// Turns the user's input anywhere on the desktop into capture attempts and decides when the panel
// is shown or dismissed. Any gesture that may have changed a selection (mouse-up, the end of a
// Shift+key or Ctrl/Super+A chord, in either release order) schedules a capture shortly after; a
// modifier pressed and released alone does not. Where the desktop passes on no input (Wayland),
// an application's report of a changed selection stands for the gesture: the capture follows once
// the reports have stopped for settleDelay (or captureDelay after the desktop says the gesture
// has ended), and an empty selection then dismisses. A mouse-down,
// Escape, a key that types into the application (no Ctrl, Alt or Super held), a chord that
// switches tabs (Ctrl+Tab, Ctrl+PageUp/PageDown) or a switch of application or window dismisses; a
// switch leaves a capture still to come, which shows only what the window in front holds. Captures
// run on the accessibility thread and are awaited; a newer gesture or a dismissal drops the answer
// of one still running. The manual capture (shortcut, menu) falls back to the copy capture; one
// asked for while another runs joins it (the newest pointer place is the one shown). A capture that
// timed out shows nothing and is not retried.
//
// A selection the user closed the panel on is remembered as `suppressedSignature` and not shown
// again until a different selection, an empty retry, a key that types or moves the caret, an
// application switch or a manual capture.
//
// One instance, owned by the application; main thread only. Callbacks that are not set are skipped.
class SelectionMonitor {
public:
    static constexpr std::chrono::milliseconds captureDelay{120};
    static constexpr std::chrono::milliseconds retryDelay{280};
    // Longer than the gaps between one gesture's reports: GTK 3, GTK 4 and Qt 6 report every step
    // of a drag, at most about 160 ms apart in a slow one (the pointer moving every 120 ms), and a
    // double- or triple-click's reports come one click interval apart (a Qt double-click's first
    // is an empty selection, which shows nothing). A held Shift+arrow repeats only after 500-600
    // ms, longer than any wait the panel can afford. bench/e2e/selection_report_cadence.py measures
    // these gaps.
    static constexpr std::chrono::milliseconds settleDelay{250};

    // `ownWrites`, when given, tells the selection reports of this program's own writes apart.
    SelectionMonitor(CapturePlatform& platform, AccessibilityCapture& capture, Scheduler& scheduler,
                     ClipboardLease& clipboardLease, CaptureFilter filter,
                     const OwnWrites* ownWrites = nullptr);
    ~SelectionMonitor(); // stops; a manual capture still waiting restores the clipboard at once
    SelectionMonitor(const SelectionMonitor&) = delete;
    SelectionMonitor& operator=(const SelectionMonitor&) = delete;

    void setOnSnapshot(std::function<void(const SelectionSnapshot&)> callback) {
        m_onSnapshot = std::move(callback);
    }
    void setOnDismiss(std::function<void()> callback) { m_onDismiss = std::move(callback); }

    // Installs the input monitors and the activation observer; nothing when already running.
    void start();
    // Removes what start() installed and cancels the pending capture; callbacks and suppression
    // stay.
    void stop();
    bool isRunning() const { return m_isRunning; }

    // Captures at the current pointer position now, falling back to the copy capture; while a
    // manual capture runs, gives it the current pointer position instead. The selection found goes
    // to `deliver` when given (an action run on it), else to the snapshot callback; the newest
    // request's receiver is the one served.
    void triggerManualCapture(std::function<void(const SelectionSnapshot&)> deliver = {});

    const std::optional<QString>& suppressedSignature() const { return m_suppressedSignature; }
    void setSuppressedSignature(std::optional<QString> signature) {
        m_suppressedSignature = std::move(signature);
    }

    // "pid|location|length|hash of the text"; the hash is stable within one run only.
    static QString signature(const SelectionSnapshot& snapshot);

    bool hasPendingCapture() const { return m_pendingCapture.isPending(); }

private:
    void handleGlobalEvent(const InputEvent& event);
    void handleLocalEvent(const InputEvent& event);
    void scheduleCapture(std::optional<QPointF> mouseLocation, bool isRetry);
    // A capture once an application's selection reports have settled; it is not retried.
    void scheduleSettledCapture(std::chrono::milliseconds delay);
    void captureNow(bool isRetry);
    QCoro::Task<void> runAutomaticCapture(bool isRetry, quint64 generation);
    QCoro::Task<void> runManualCapture();
    void dismiss();
    bool isAllowed(const SelectionSnapshot& snapshot) const;
    void show(const SelectionSnapshot& snapshot);
    void deliverManual(const SelectionSnapshot& snapshot);

    CapturePlatform& m_platform;
    AccessibilityCapture& m_capture;
    Scheduler& m_scheduler;
    CaptureFilter m_filter;
    const OwnWrites* m_ownWrites;
    CopyCapture m_copyCapture;

    std::function<void(const SelectionSnapshot&)> m_onSnapshot;
    std::function<void()> m_onDismiss;
    std::vector<Subscription> m_subscriptions; // the input monitors and the activation observer
    ScheduledWork m_pendingCapture;
    bool m_isRunning = false;
    std::optional<QString> m_suppressedSignature;
    std::optional<QPointF> m_lastTriggerMouseLocation;
    bool m_manualCaptureRunning = false;
    QPointF m_manualMouseLocation; // the newest place a running manual capture was asked for
    std::function<void(const SelectionSnapshot&)> m_manualDeliver; // empty: the snapshot callback
    bool m_retryAllowed = true; // false for a capture that followed a selection report
    quint64 m_generation = 0;   // grows with every gesture and dismissal
    std::optional<Duration> m_lastActivation; // when another application last became active
    // Keys pressed as part of a selecting chord and not yet released (key code and text).
    QSet<QString> m_selectingKeysDown;

    // Handlers and captures hold this weakly (WorkOwner) and do nothing once the monitor is gone;
    // the destructor ends it first.
    std::unique_ptr<QObject> m_lifetime = std::make_unique<QObject>();
    CancelSource m_manualCaptures; // cancelled on destruction
};

} // namespace ovra
