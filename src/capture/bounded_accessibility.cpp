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

template <typename T, typename Call> AXResult<T> BoundedAccessibility::guarded(Call call) {
    if (!mayCall())
        return AXResult<T>::failure(AXStatus::TimedOut);
    AXResult<T> result = call();
    afterCall();
    if (result.status == AXStatus::TimedOut)
        m_stopped = m_callTimedOut = true;
    return result;
}

template <typename Call> AXStatus BoundedAccessibility::guardedStatus(Call call) {
    return guarded<bool>([&] {
               const AXStatus status = call();
               return AXResult<bool>{status, status == AXStatus::Success};
           })
        .status;
}

AccessibleElement BoundedAccessibility::applicationElement(qint32 pid) {
    auto result = guarded<AccessibleElement>(
        [&] { return AXResult<AccessibleElement>::success(m_inner.applicationElement(pid)); });
    return result.ok() ? result.value : AccessibleElement{};
}

AXResult<AccessibleElement> BoundedAccessibility::systemFocusedElement() {
    return guarded<AccessibleElement>([&] { return m_inner.systemFocusedElement(); });
}

AXResult<AccessibleElement>
BoundedAccessibility::focusedElement(const AccessibleElement& application) {
    return guarded<AccessibleElement>([&] { return m_inner.focusedElement(application); });
}

AXResult<AccessibleElement> BoundedAccessibility::elementAtPosition(QPointF point) {
    return guarded<AccessibleElement>([&] { return m_inner.elementAtPosition(point); });
}

qint32 BoundedAccessibility::processId(const AccessibleElement& element) {
    auto result =
        guarded<qint32>([&] { return AXResult<qint32>::success(m_inner.processId(element)); });
    return result.ok() ? result.value : 0;
}

SelectionEvent BoundedAccessibility::lastSelectionEvent(qint32 pid) {
    return mayCall() ? m_inner.lastSelectionEvent(pid) : SelectionEvent{};
}

AXResult<QString> BoundedAccessibility::selectedText(const AccessibleElement& element) {
    return guarded<QString>([&] { return m_inner.selectedText(element); });
}

AXResult<TextRange> BoundedAccessibility::selectedTextRange(const AccessibleElement& element) {
    return guarded<TextRange>([&] { return m_inner.selectedTextRange(element); });
}

AXResult<QRectF> BoundedAccessibility::boundsForRange(const AccessibleElement& element,
                                                      TextRange range) {
    return guarded<QRectF>([&] { return m_inner.boundsForRange(element, range); });
}

AXResult<QString> BoundedAccessibility::stringForRange(const AccessibleElement& element,
                                                       TextRange range) {
    return guarded<QString>([&] { return m_inner.stringForRange(element, range); });
}

AXResult<QString> BoundedAccessibility::value(const AccessibleElement& element) {
    return guarded<QString>([&] { return m_inner.value(element); });
}

AXResult<bool> BoundedAccessibility::isSettable(const AccessibleElement& element,
                                                SettableAttribute attribute) {
    return guarded<bool>([&] { return m_inner.isSettable(element, attribute); });
}

AXResult<AccessibleElement> BoundedAccessibility::parent(const AccessibleElement& element) {
    return guarded<AccessibleElement>([&] { return m_inner.parent(element); });
}

AXResult<QList<AccessibleElement>>
BoundedAccessibility::children(const AccessibleElement& element) {
    return guarded<QList<AccessibleElement>>([&] { return m_inner.children(element); });
}

AXResult<ElementRole> BoundedAccessibility::role(const AccessibleElement& element) {
    return guarded<ElementRole>([&] { return m_inner.role(element); });
}

AXResult<QRectF> BoundedAccessibility::frame(const AccessibleElement& element) {
    return guarded<QRectF>([&] { return m_inner.frame(element); });
}

AXResult<QList<AccessibleElement>>
BoundedAccessibility::windows(const AccessibleElement& application) {
    return guarded<QList<AccessibleElement>>([&] { return m_inner.windows(application); });
}

AXStatus BoundedAccessibility::setEnhancedUserInterface(const AccessibleElement& application,
                                                        bool on) {
    return guardedStatus([&] { return m_inner.setEnhancedUserInterface(application, on); });
}

AXStatus BoundedAccessibility::setSelectedTextRange(const AccessibleElement& element,
                                                    TextRange range) {
    return guardedStatus([&] { return m_inner.setSelectedTextRange(element, range); });
}

AXStatus BoundedAccessibility::setSelectedText(const AccessibleElement& element,
                                               const QString& text) {
    return guardedStatus([&] { return m_inner.setSelectedText(element, text); });
}

AXStatus BoundedAccessibility::replaceText(const AccessibleElement& element, TextRange range,
                                           const QString& text) {
    return guardedStatus([&] { return m_inner.replaceText(element, range, text); });
}

} // namespace ovra
