#pragma once

#include "capture/accessibility_bridge.h"
#include "capture/capture_filter.h"
#include "capture/capture_platform.h"
#include "capture/selection_snapshot.h"
#include "support/cancellation.h"
#include "support/scheduler.h"

#include <QList>
#include <chrono>
#include <optional>
#include <qcoro/qcorotask.h>

namespace ovra {

// The manual capture's fallback for applications whose selection the accessibility services do
// not expose. First it looks at the PRIMARY selection: when the frontmost application owns it,
// its text is the selection and nothing else is touched. Otherwise it backs up the user's
// clipboard, sends the copy keystroke to the frontmost application, waits for the clipboard to
// change, reads the copied text and puts the user's clipboard back in every case.
//
// Holds no state between captures; several may run at once (each keeps its own backup).
class CopyCapture {
public:
    static constexpr std::chrono::milliseconds firstWait{180};
    static constexpr std::chrono::milliseconds secondWait{120};

    CopyCapture(CapturePlatform& platform, AccessibilityBridge& bridge, Scheduler& scheduler,
                CaptureFilter filter);

    // The selection of the frontmost application, or nothing. Refusals (no permission, no
    // frontmost application or id, this application, an ignored one) leave the clipboard alone.
    // A cancelled wait counts as finished: the clipboard is still restored.
    QCoro::Task<std::optional<SelectionSnapshot>> capture(std::optional<QPointF> mouseLocation,
                                                          CancelToken token = {});

    // A deep copy of every clipboard item with every format whose data can be read.
    static QList<ClipboardItem> backupItems(ClipboardServices& clipboard);

private:
    std::optional<QString> primaryTextOf(qint32 pid);

    CapturePlatform& m_platform;
    AccessibilityBridge& m_bridge;
    Scheduler& m_scheduler;
    CaptureFilter m_filter;
};

} // namespace ovra
