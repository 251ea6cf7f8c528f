#pragma once

#include "capture/accessibility_capture.h"
#include "capture/capture_filter.h"
#include "capture/clipboard_lease.h"
#include "capture/selection_snapshot.h"
#include "platform/capture_platform.h"
#include "support/cancellation.h"
#include "support/scheduler.h"

#include <QList>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra {

// The manual capture's fallback for applications whose selection the accessibility services do
// not expose. First it looks at the PRIMARY selection: when the frontmost application owns it and
// it is fresh (see PrimaryTrust), its text is the selection and nothing else is touched. Otherwise
// it backs up the user's clipboard, sends the copy keystroke to the frontmost application, waits
// for the clipboard to change, reads the copied text and puts the user's clipboard back in every
// case.
//
// Holds no state between captures. The clipboard is borrowed under the process's one lease: a
// capture that finds it held (another capture, a paste) copies nothing and leaves it alone, since
// its backup would be the other borrower's temporary contents.
// What decides whether PRIMARY still stands for the selection: X11 keeps the last selection there
// after the user clicked it away, so only an owner that took it within primaryFreshFor or after
// the last switch of application counts, and never when the focused element reports that nothing
// is selected in it.
struct PrimaryTrust {
    std::optional<std::chrono::milliseconds> sinceFocusChange; // nothing: no switch seen
    bool focusedSelectionEmpty = false;
};

class CopyCapture {
public:
    static constexpr std::chrono::milliseconds primaryFreshFor{5000};
    static constexpr std::chrono::milliseconds firstWait{180};
    static constexpr std::chrono::milliseconds secondWait{120};

    CopyCapture(CapturePlatform& platform, AccessibilityCapture& capture, Scheduler& scheduler,
                ClipboardLease& lease, CaptureFilter filter);

    // The selection of the frontmost application, or nothing. Refusals (no permission, no
    // frontmost application or id, this application, an ignored one) leave the clipboard alone.
    // A cancelled wait counts as finished: the clipboard is still restored. A copied text equal to
    // the clipboard's text before is no selection: it is the user's own clipboard, come back.
    QCoro::Task<std::optional<SelectionSnapshot>> capture(std::optional<QPointF> mouseLocation,
                                                          CancelToken token = {},
                                                          PrimaryTrust primary = {});

    // A deep copy of every clipboard item with every format whose data could be read in time;
    // the formats left out are logged (their names only).
    static QCoro::Task<std::optional<QList<ClipboardItem>>>
    backupItems(ClipboardServices& clipboard);

private:
    QCoro::Task<std::optional<QString>> primaryTextOf(qint32 pid, PrimaryTrust trust);

    CapturePlatform& m_platform;
    AccessibilityCapture& m_capture;
    Scheduler& m_scheduler;
    ClipboardLease& m_lease;
    CaptureFilter m_filter;
};

} // namespace ovra
