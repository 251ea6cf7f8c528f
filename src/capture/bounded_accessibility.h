#pragma once

#include "platform/accessibility_services.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace ovra {

// Gives one piece of accessibility work (a capture, a write) a budget: once a call has run into
// the per-call time-out, the work's deadline has passed or the work was abandoned, every further
// call fails at once with TimedOut instead of asking an application that is not answering.
// Forwards everything else unchanged; lives on the accessibility thread with the services it wraps.
class BoundedAccessibility final : public AccessibilityServices {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit BoundedAccessibility(AccessibilityServices& inner,
                                  Clock clock = &std::chrono::steady_clock::now);

    // Starts a new piece of work. `abandoned` (may be null) is set by whoever waits for the work
    // once it no longer wants the answer.
    void begin(std::optional<std::chrono::steady_clock::time_point> deadline,
               std::shared_ptr<const std::atomic<bool>> abandoned);
    // Whether the current work was stopped by a time-out, its deadline or its abandonment.
    bool stopped() const { return m_stopped; }
    // Whether a call of the current work ran into the per-call time-out (the application did
    // not answer, as opposed to work that merely took long).
    bool callTimedOut() const { return m_callTimedOut; }
    AccessibilityServices& inner() { return m_inner; }

    AccessibleElement applicationElement(qint32 pid) override;
    AccessResult<AccessibleElement> systemFocusedElement() override;
    AccessResult<AccessibleElement> focusedElement(const AccessibleElement& application) override;
    AccessResult<AccessibleElement> elementAtPosition(QPointF point) override;
    qint32 processId(const AccessibleElement& element) override;
    SelectionEvent lastSelectionEvent(qint32 pid) override;
    bool takeTimedOut() override { return m_inner.takeTimedOut(); }
    AccessResult<QString> selectedText(const AccessibleElement& element) override;
    AccessResult<TextRange> selectedTextRange(const AccessibleElement& element) override;
    AccessResult<QRectF> boundsForRange(const AccessibleElement& element, TextRange range) override;
    AccessResult<QString> stringForRange(const AccessibleElement& element,
                                         TextRange range) override;
    AccessResult<QString> value(const AccessibleElement& element) override;
    AccessResult<bool> isSettable(const AccessibleElement& element,
                                  SettableAttribute attribute) override;
    AccessResult<AccessibleElement> parent(const AccessibleElement& element) override;
    AccessResult<QList<AccessibleElement>> children(const AccessibleElement& element) override;
    AccessResult<ElementRole> role(const AccessibleElement& element) override;
    AccessResult<QRectF> frame(const AccessibleElement& element) override;
    AccessResult<QList<AccessibleElement>> windows(const AccessibleElement& application) override;
    AccessStatus setFullAccessibilityTree(const AccessibleElement& application, bool on) override;
    AccessStatus setSelectedTextRange(const AccessibleElement& element, TextRange range) override;
    AccessStatus replaceText(const AccessibleElement& element, TextRange range,
                             const QString& text) override;

private:
    // False when the work must stop before this call.
    bool mayCall();
    // Notes a time-out the call just ran into.
    void afterCall();
    template <typename T, typename Call> AccessResult<T> guarded(Call call);
    // The same for a call that answers with a status only.
    template <typename Call> AccessStatus guardedStatus(Call call);

    AccessibilityServices& m_inner;
    Clock m_clock;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    std::shared_ptr<const std::atomic<bool>> m_abandoned;
    bool m_stopped = false;
    bool m_callTimedOut = false;
};

} // namespace ovra
