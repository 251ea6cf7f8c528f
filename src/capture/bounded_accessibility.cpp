#include "capture/bounded_accessibility.h"

namespace ovra {

BoundedAccessibility::BoundedAccessibility(AccessibilityServices& inner, Clock clock)
    : m_inner(inner), m_clock(std::move(clock)) {}

void BoundedAccessibility::begin(std::optional<std::chrono::steady_clock::time_point> deadline,
                                 std::shared_ptr<const std::atomic<bool>> abandoned) {
    m_deadline = deadline;
    m_abandoned = std::move(abandoned);
    m_stopped = false;
    m_callTimedOut = false;
    m_inner.takeTimedOut(); // a time-out of earlier work is no concern of this one
}

bool BoundedAccessibility::mayCall() {
    if (m_stopped)
        return false;
    if ((m_abandoned && m_abandoned->load()) || (m_deadline && m_clock() >= *m_deadline))
        m_stopped = true;
    return !m_stopped;
}

void BoundedAccessibility::afterCall() {
    if (m_inner.takeTimedOut())
        m_stopped = m_callTimedOut = true;
}

template <typename T, typename Call> AccessResult<T> BoundedAccessibility::guarded(Call call) {
    if (!mayCall())
        return AccessResult<T>::failure(AccessStatus::TimedOut);
    AccessResult<T> result = call();
    afterCall();
    if (result.status == AccessStatus::TimedOut)
        m_stopped = m_callTimedOut = true;
    return result;
}

template <typename Call> AccessStatus BoundedAccessibility::guardedStatus(Call call) {
    return guarded<bool>([&] {
               const AccessStatus status = call();
               return AccessResult<bool>{status, status == AccessStatus::Success};
           })
        .status;
}

AccessibleElement BoundedAccessibility::applicationElement(qint32 pid) {
    auto result = guarded<AccessibleElement>(
        [&] { return AccessResult<AccessibleElement>::success(m_inner.applicationElement(pid)); });
    return result.ok() ? result.value : AccessibleElement{};
}

AccessResult<AccessibleElement> BoundedAccessibility::systemFocusedElement() {
    return guarded<AccessibleElement>([&] { return m_inner.systemFocusedElement(); });
}

AccessResult<AccessibleElement>
BoundedAccessibility::focusedElement(const AccessibleElement& application) {
    return guarded<AccessibleElement>([&] { return m_inner.focusedElement(application); });
}

AccessResult<AccessibleElement> BoundedAccessibility::elementAtPosition(QPointF point) {
    return guarded<AccessibleElement>([&] { return m_inner.elementAtPosition(point); });
}

qint32 BoundedAccessibility::processId(const AccessibleElement& element) {
    auto result =
        guarded<qint32>([&] { return AccessResult<qint32>::success(m_inner.processId(element)); });
    return result.ok() ? result.value : 0;
}

SelectionEvent BoundedAccessibility::lastSelectionEvent(qint32 pid) {
    return mayCall() ? m_inner.lastSelectionEvent(pid) : SelectionEvent{};
}

AccessResult<QString> BoundedAccessibility::selectedText(const AccessibleElement& element) {
    return guarded<QString>([&] { return m_inner.selectedText(element); });
}

AccessResult<TextRange> BoundedAccessibility::selectedTextRange(const AccessibleElement& element) {
    return guarded<TextRange>([&] { return m_inner.selectedTextRange(element); });
}

AccessResult<QRectF> BoundedAccessibility::boundsForRange(const AccessibleElement& element,
                                                          TextRange range) {
    return guarded<QRectF>([&] { return m_inner.boundsForRange(element, range); });
}

AccessResult<QString> BoundedAccessibility::stringForRange(const AccessibleElement& element,
                                                           TextRange range) {
    return guarded<QString>([&] { return m_inner.stringForRange(element, range); });
}

AccessResult<QString> BoundedAccessibility::value(const AccessibleElement& element) {
    return guarded<QString>([&] { return m_inner.value(element); });
}

AccessResult<bool> BoundedAccessibility::isSettable(const AccessibleElement& element,
                                                    SettableAttribute attribute) {
    return guarded<bool>([&] { return m_inner.isSettable(element, attribute); });
}

AccessResult<AccessibleElement> BoundedAccessibility::parent(const AccessibleElement& element) {
    return guarded<AccessibleElement>([&] { return m_inner.parent(element); });
}

AccessResult<QList<AccessibleElement>>
BoundedAccessibility::children(const AccessibleElement& element) {
    return guarded<QList<AccessibleElement>>([&] { return m_inner.children(element); });
}

AccessResult<ElementRole> BoundedAccessibility::role(const AccessibleElement& element) {
    return guarded<ElementRole>([&] { return m_inner.role(element); });
}

AccessResult<QRectF> BoundedAccessibility::frame(const AccessibleElement& element) {
    return guarded<QRectF>([&] { return m_inner.frame(element); });
}

AccessResult<QList<AccessibleElement>>
BoundedAccessibility::windows(const AccessibleElement& application) {
    return guarded<QList<AccessibleElement>>([&] { return m_inner.windows(application); });
}

AccessStatus BoundedAccessibility::setFullAccessibilityTree(const AccessibleElement& application,
                                                            bool on) {
    return guardedStatus([&] { return m_inner.setFullAccessibilityTree(application, on); });
}

AccessStatus BoundedAccessibility::setSelectedTextRange(const AccessibleElement& element,
                                                        TextRange range) {
    return guardedStatus([&] { return m_inner.setSelectedTextRange(element, range); });
}

AccessStatus BoundedAccessibility::replaceText(const AccessibleElement& element, TextRange range,
                                               const QString& text) {
    return guardedStatus([&] { return m_inner.replaceText(element, range, text); });
}

} // namespace ovra
