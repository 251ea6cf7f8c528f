#pragma once

#include "platform/accessible_element.h"
#include "platform/text_range.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QtGlobal>
#include <utility>

namespace ovra {

// Outcome of one accessibility call. Anything but Success means "no value": the callers treat
// every failure alike and move on to the next place to look.
enum class AccessStatus {
    Success,
    Failure,              // the call failed (application gone, bus error, time-out)
    NoValue,              // the element has no such value right now
    AttributeUnsupported, // the element does not offer this value at all
    InvalidElement,       // the element no longer exists
    TimedOut,             // the application did not answer within the per-call time-out
};

// A value read from an element together with the call's status. `value` is meaningful only when
// ok(); a successful read of an element-valued attribute may still hold a null element ("empty").
template <typename T> struct AccessResult {
    AccessStatus status = AccessStatus::Failure;
    T value{};

    bool ok() const { return status == AccessStatus::Success; }
    static AccessResult success(T v) { return {AccessStatus::Success, std::move(v)}; }
    static AccessResult failure(AccessStatus status = AccessStatus::Failure) {
        return {status, T{}};
    }
};

// The roles the capture and the placement tell apart; every other role is Other.
enum class ElementRole { Other, Toolbar, TextField, TextArea, ComboBox };

// The last report of a changed selection from one application: the element, and a number that
// grows with every report (0: none yet).
struct SelectionEvent {
    AccessibleElement element;
    quint64 serial = 0;
};

// Values whose writability decides whether a selection can be replaced in place.
enum class SettableAttribute { SelectedText, Value };

// Reads and writes other applications' interface elements. All calls are synchronous and may block
// until the target application answers (at most the platform's per-call time-out): the program
// makes them on its accessibility thread only, never on the UI thread (which has the
// AccessibilitySwitch for what it needs to know). Positions and rectangles
// here are in accessibility space: origin at the top-left of the primary screen, y growing
// downwards. Text offsets and lengths are UTF-16 code units (the platform converts from its own
// counting).
class AccessibilityServices {
public:
    virtual ~AccessibilityServices() = default;

    // The element standing for the whole application with process `pid`; null when there is none.
    virtual AccessibleElement applicationElement(qint32 pid) = 0;
    // The element that has the keyboard focus anywhere on the desktop (cheap path; may be empty).
    virtual AccessResult<AccessibleElement> systemFocusedElement() = 0;
    // The focused element inside `application` (an element from applicationElement()).
    virtual AccessResult<AccessibleElement>
    focusedElement(const AccessibleElement& application) = 0;
    // The deepest element at `point` (accessibility space), in whichever application shows it.
    virtual AccessResult<AccessibleElement> elementAtPosition(QPointF point) = 0;
    // The process that owns `element`; 0 when it cannot be told.
    virtual qint32 processId(const AccessibleElement& element) = 0;
    // The text element of process `pid` that last reported a change of its selection (a null
    // element when none did, or the platform sends no such events). Costs no round trip.
    virtual SelectionEvent lastSelectionEvent(qint32 pid) = 0;
    // True once after a call of this object ran into the per-call time-out; reading clears it.
    virtual bool takeTimedOut() = 0;

    // The selected text of `element`, exactly as the application reports it, at most
    // maxSelectionRead UTF-16 units of it (one more than a selection may have, so that a longer
    // one can still be told apart).
    static constexpr qsizetype maxSelectionRead = 100'001;
    virtual AccessResult<QString> selectedText(const AccessibleElement& element) = 0;
    // The selection inside `element`.
    virtual AccessResult<TextRange> selectedTextRange(const AccessibleElement& element) = 0;
    // The on-screen rectangle of `range` inside `element`; fails when it cannot be told.
    virtual AccessResult<QRectF> boundsForRange(const AccessibleElement& element,
                                                TextRange range) = 0;
    // The text of `range` inside `element`, cut short where the text ends.
    virtual AccessResult<QString> stringForRange(const AccessibleElement& element,
                                                 TextRange range) = 0;
    // The element's whole text or value.
    virtual AccessResult<QString> value(const AccessibleElement& element) = 0;
    // Whether `attribute` of `element` can be written.
    virtual AccessResult<bool> isSettable(const AccessibleElement& element,
                                          SettableAttribute attribute) = 0;

    // The element's parent; success with a null element at the top of the tree.
    virtual AccessResult<AccessibleElement> parent(const AccessibleElement& element) = 0;
    // The element's children, in the application's order.
    virtual AccessResult<QList<AccessibleElement>> children(const AccessibleElement& element) = 0;
    // The element's role.
    virtual AccessResult<ElementRole> role(const AccessibleElement& element) = 0;
    // The element's position and size on screen.
    virtual AccessResult<QRectF> frame(const AccessibleElement& element) = 0;
    // The top-level windows of `application`, front to back.
    virtual AccessResult<QList<AccessibleElement>>
    windows(const AccessibleElement& application) = 0;

    // Asks `application` to build its full accessibility tree (toolkits that build it on demand).
    virtual AccessStatus setFullAccessibilityTree(const AccessibleElement& application,
                                                  bool on) = 0;
    // Moves the selection inside `element` to `range`.
    virtual AccessStatus setSelectedTextRange(const AccessibleElement& element,
                                              TextRange range) = 0;
    // Replaces the text of `range` inside `element` with `text`, whatever is selected now; all or
    // nothing: when the write fails, the element's text is as it was.
    virtual AccessStatus replaceText(const AccessibleElement& element, TextRange range,
                                     const QString& text) = 0;
};

} // namespace ovra
