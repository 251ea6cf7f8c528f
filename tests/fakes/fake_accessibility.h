#pragma once

#include "platform/accessibility_services.h"
#include "platform/accessibility_switch.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace ovra::test {

// One element of a scripted accessibility tree. Everything an element can report is a plain field;
// an empty optional makes the matching read fail.
struct FakeNode : std::enable_shared_from_this<FakeNode> {
    QString name; // for reading test failures only
    qint32 pid = 0;
    std::optional<QString> selectedText;
    std::optional<TextRange> selectedRange;
    std::optional<QRectF> rangeBounds; // accessibility space
    std::optional<QRectF> frame;       // accessibility space
    std::optional<QString> value;
    std::optional<ElementRole> role = ElementRole::Other;
    bool selectedTextSettable = false;
    bool valueSettable = false;
    // The write's delete goes through and its insert fails: the platform puts the deleted text
    // back, so the value is as before and the write reports failure.
    bool insertFails = false;
    bool rangeSelectionRefused = false; // setSelectedTextRange fails, the selection stays
    // The next write of a range (an accessibility write or a paste) inserts the new text and
    // keeps the old (as a toolkit whose delete misses), reporting success.
    bool nextWriteKeepsOldText = false;
    // The next write of a range also cuts this many units off the end of the text (far from the
    // range), and reports failure when `nextWriteReportsFailure`.
    qsizetype nextWriteCutsTheEnd = 0;
    bool nextWriteReportsFailure = false;
    int writesLeft = -1; // how many more writes of a range are taken; -1: all
    // Runs once, right after the next write of a range: what else happens to the element before
    // it is read again (another program's edit, a text stored decomposed, a read that fails).
    std::function<void(FakeNode&)> afterNextWrite;
    bool failParent = false;
    bool failChildren = false;
    bool hangs = false; // every call to it runs into the time-out

    std::weak_ptr<FakeNode> parent;
    std::vector<std::shared_ptr<FakeNode>> children;
    std::vector<std::shared_ptr<FakeNode>> windows; // application nodes only
    std::shared_ptr<FakeNode> focused;              // application nodes only

    mutable int selectedTextReads = 0; // how often this element was examined for a selection
    QList<QString> writtenTexts;

    // A new child of the same process, appended last (the node must be owned by a shared_ptr).
    std::shared_ptr<FakeNode> addChild(QString childName = {});
};

// A scripted AccessibilityServices over FakeNode trees, with the desktop's switch. Application
// nodes are created on first use, one per process.
class FakeAccessibility final : public AccessibilityServices, public AccessibilitySwitch {
public:
    bool trusted = true;
    bool enableTakes = true;          // enableAccess() turns `trusted` on
    std::optional<bool> switchOnRead; // what readState() finds, when set
    int enableRequests = 0;
    int trustRequests = 0;
    std::shared_ptr<FakeNode> systemFocus;
    bool failSystemFocus = false;
    std::shared_ptr<FakeNode> nodeAtPoint; // what any point finds
    QList<QPointF> pointQueries;           // accessibility-space points asked for
    QList<TextRange> boundsQueries;        // every range whose bounds were asked for
    QList<qint32> enhancedApplications;    // every setFullAccessibilityTree(true) call, by pid
    // An element reporting a change of its selection.
    void reportSelection(const std::shared_ptr<FakeNode>& node);
    int calls = 0; // every call that would be a round trip to an application

    std::shared_ptr<FakeNode> application(qint32 pid);
    static AccessibleElement elementFor(const std::shared_ptr<FakeNode>& node);
    static std::shared_ptr<FakeNode> nodeOf(const AccessibleElement& element);
    // Total of selectedTextReads over a tree.
    static int examinedIn(const std::shared_ptr<FakeNode>& root);

    bool isAccessEnabled() override { return trusted; }
    QCoro::Task<> readState() override {
        trusted = switchOnRead.value_or(trusted);
        co_return;
    }
    void requestAccess() override { ++trustRequests; }
    QCoro::Task<bool> enableAccess() override {
        ++enableRequests;
        trusted = trusted || enableTakes;
        co_return trusted;
    }
    AccessibleElement applicationElement(qint32 pid) override;
    AccessResult<AccessibleElement> systemFocusedElement() override;
    AccessResult<AccessibleElement> focusedElement(const AccessibleElement& application) override;
    AccessResult<AccessibleElement> elementAtPosition(QPointF point) override;
    qint32 processId(const AccessibleElement& element) override;
    SelectionEvent lastSelectionEvent(qint32 pid) override;
    bool takeTimedOut() override { return std::exchange(m_timedOut, false); }
    AccessResult<QString> selectedText(const AccessibleElement& element) override;
    AccessResult<TextRange> selectedTextRange(const AccessibleElement& element) override {
        return read(element, &FakeNode::selectedRange);
    }
    AccessResult<QRectF> boundsForRange(const AccessibleElement& element, TextRange range) override;
    AccessResult<QString> stringForRange(const AccessibleElement& element,
                                         TextRange range) override;
    AccessResult<QString> value(const AccessibleElement& element) override {
        return read(element, &FakeNode::value);
    }
    AccessResult<bool> isSettable(const AccessibleElement& element,
                                  SettableAttribute attribute) override;
    AccessResult<AccessibleElement> parent(const AccessibleElement& element) override;
    AccessResult<QList<AccessibleElement>> children(const AccessibleElement& element) override;
    AccessResult<ElementRole> role(const AccessibleElement& element) override {
        return read(element, &FakeNode::role);
    }
    AccessResult<QRectF> frame(const AccessibleElement& element) override {
        return read(element, &FakeNode::frame);
    }
    AccessResult<QList<AccessibleElement>> windows(const AccessibleElement& application) override;
    AccessStatus setFullAccessibilityTree(const AccessibleElement& application, bool on) override;
    AccessStatus setSelectedTextRange(const AccessibleElement& element, TextRange range) override;
    // Nothing here writes a selection whole; writes go through replaceText.
    AccessStatus setSelectedText(const AccessibleElement&, const QString&) override {
        return AccessStatus::Failure;
    }
    // Writes into `value`, which stands for the element's text.
    AccessStatus replaceText(const AccessibleElement& element, TextRange range,
                             const QString& text) override;
    // What the application does with a paste: `text` replaces the selection of its focused
    // element, which then ends after it.
    void paste(qint32 pid, const QString& text);

private:
    static void write(FakeNode& node, TextRange range, const QString& text);
    // The node behind `element`, counting the call; null for a node that hangs.
    std::shared_ptr<FakeNode> reach(const AccessibleElement& element);
    // A field of the node behind `element`, reached: an empty one fails.
    template <typename T>
    AccessResult<T> read(const AccessibleElement& element, std::optional<T> FakeNode::*field) {
        const auto node = reach(element);
        if (!node)
            return AccessResult<T>::failure(AccessStatus::InvalidElement);
        const std::optional<T>& value = (*node).*field;
        return value ? AccessResult<T>::success(*value)
                     : AccessResult<T>::failure(AccessStatus::NoValue);
    }

    std::vector<std::shared_ptr<FakeNode>> m_applications;
    bool m_timedOut = false;
    QHash<qint32, std::pair<std::weak_ptr<FakeNode>, quint64>> m_selectionEvents;
    quint64 m_selectionSerial = 0;
};

} // namespace ovra::test
