#include "fakes/fake_accessibility.h"

#include <utility>

namespace ovra::test {

namespace {

// A fresh handle per call, so equality has to come from the node, not from the handle.
class FakeHandle final : public ElementHandle {
public:
    explicit FakeHandle(std::shared_ptr<FakeNode> node) : node(std::move(node)) {}
    bool sameElement(const ElementHandle& other) const override {
        const auto* fake = dynamic_cast<const FakeHandle*>(&other);
        return fake && fake->node == node;
    }
    std::shared_ptr<FakeNode> node;
};

QList<AccessibleElement> elementsFor(const std::vector<std::shared_ptr<FakeNode>>& nodes) {
    QList<AccessibleElement> result;
    for (const auto& node : nodes)
        result.append(FakeAccessibility::elementFor(node));
    return result;
}

} // namespace

std::shared_ptr<FakeNode> FakeNode::addChild(QString childName) {
    auto child = std::make_shared<FakeNode>();
    child->name = std::move(childName);
    child->pid = pid;
    child->parent = weak_from_this();
    children.push_back(child);
    return child;
}

AccessibleElement FakeAccessibility::elementFor(const std::shared_ptr<FakeNode>& node) {
    if (!node)
        return {};
    return AccessibleElement(std::make_shared<FakeHandle>(node));
}

std::shared_ptr<FakeNode> FakeAccessibility::nodeOf(const AccessibleElement& element) {
    const auto* handle = element.as<FakeHandle>();
    return handle ? handle->node : nullptr;
}

int FakeAccessibility::examinedIn(const std::shared_ptr<FakeNode>& root) {
    int total = root->selectedTextReads;
    for (const auto& child : root->children)
        total += examinedIn(child);
    return total;
}

std::shared_ptr<FakeNode> FakeAccessibility::application(qint32 pid) {
    for (const auto& node : m_applications)
        if (node->pid == pid)
            return node;
    auto node = std::make_shared<FakeNode>();
    node->name = QStringLiteral("application");
    node->pid = pid;
    m_applications.push_back(node);
    return node;
}

std::shared_ptr<FakeNode> FakeAccessibility::reach(const AccessibleElement& element) {
    ++calls;
    auto node = nodeOf(element);
    if (node && node->hangs) {
        m_timedOut = true;
        return nullptr;
    }
    return node;
}

void FakeAccessibility::reportSelection(const std::shared_ptr<FakeNode>& node) {
    m_selectionEvents.insert(node->pid, {node, ++m_selectionSerial});
}

SelectionEvent FakeAccessibility::lastSelectionEvent(qint32 pid) {
    const auto event = m_selectionEvents.value(pid);
    return {elementFor(event.first.lock()), event.second};
}

AccessibleElement FakeAccessibility::applicationElement(qint32 pid) {
    ++calls;
    return pid == 0 ? AccessibleElement() : elementFor(application(pid));
}

AccessResult<AccessibleElement> FakeAccessibility::systemFocusedElement() {
    ++calls;
    if (failSystemFocus)
        return {};
    return {AccessStatus::Success, elementFor(systemFocus)};
}

AccessResult<AccessibleElement> FakeAccessibility::focusedElement(const AccessibleElement& app) {
    const auto node = reach(app);
    const auto focused = node ? node->focused : nullptr;
    return {focused ? AccessStatus::Success : AccessStatus::NoValue, elementFor(focused)};
}

AccessResult<AccessibleElement> FakeAccessibility::elementAtPosition(QPointF point) {
    ++calls;
    pointQueries.append(point);
    return {nodeAtPoint ? AccessStatus::Success : AccessStatus::NoValue, elementFor(nodeAtPoint)};
}

qint32 FakeAccessibility::processId(const AccessibleElement& element) {
    const auto node = reach(element);
    return node ? node->pid : 0;
}

AccessResult<QString> FakeAccessibility::selectedText(const AccessibleElement& element) {
    const auto node = nodeOf(element);
    if (node && !node->hangs)
        ++node->selectedTextReads;
    return read(element, &FakeNode::selectedText);
}

AccessResult<QRectF> FakeAccessibility::boundsForRange(const AccessibleElement& element,
                                                       TextRange range) {
    boundsQueries.append(range);
    return read(element, &FakeNode::rangeBounds);
}

AccessResult<QString> FakeAccessibility::stringForRange(const AccessibleElement& element,
                                                        TextRange range) {
    const auto node = reach(element);
    if (!node)
        return {AccessStatus::InvalidElement};
    if (!node->value)
        return {};
    return {AccessStatus::Success, node->value->mid(range.location, range.length)};
}

AccessResult<bool> FakeAccessibility::isSettable(const AccessibleElement& element,
                                                 SettableAttribute attribute) {
    if (const auto node = reach(element))
        return {AccessStatus::Success, attribute == SettableAttribute::SelectedText
                                           ? node->selectedTextSettable
                                           : node->valueSettable};
    return {AccessStatus::InvalidElement};
}

AccessResult<AccessibleElement> FakeAccessibility::parent(const AccessibleElement& element) {
    const auto node = reach(element);
    if (!node || node->failParent)
        return {};
    return {AccessStatus::Success, elementFor(node->parent.lock())};
}

AccessResult<QList<AccessibleElement>>
FakeAccessibility::children(const AccessibleElement& element) {
    const auto node = reach(element);
    if (!node || node->failChildren)
        return {};
    return {AccessStatus::Success, elementsFor(node->children)};
}

AccessResult<QList<AccessibleElement>> FakeAccessibility::windows(const AccessibleElement& app) {
    if (const auto node = reach(app))
        return {AccessStatus::Success, elementsFor(node->windows)};
    return {AccessStatus::InvalidElement};
}

AccessStatus FakeAccessibility::setFullAccessibilityTree(const AccessibleElement& app, bool on) {
    const auto node = reach(app);
    if (node && on)
        enhancedApplications.append(node->pid);
    return node ? AccessStatus::Success : AccessStatus::InvalidElement;
}

AccessStatus FakeAccessibility::setSelectedTextRange(const AccessibleElement& element,
                                                     TextRange range) {
    const auto node = reach(element);
    if (!node)
        return AccessStatus::InvalidElement;
    if (node->rangeSelectionRefused)
        return AccessStatus::Failure;
    node->selectedRange = range;
    return AccessStatus::Success;
}

AccessStatus FakeAccessibility::replaceText(const AccessibleElement& element, TextRange range,
                                            const QString& text) {
    const auto node = reach(element);
    if (!node || !node->selectedTextSettable || node->insertFails || node->writesLeft == 0)
        return AccessStatus::Failure;
    if (node->writesLeft > 0)
        --node->writesLeft;
    node->writtenTexts.append(text);
    write(*node, range, text);
    return std::exchange(node->nextWriteReportsFailure, false) ? AccessStatus::Failure
                                                               : AccessStatus::Success;
}

void FakeAccessibility::paste(qint32 pid, const QString& text) {
    const std::shared_ptr<FakeNode> node = application(pid)->focused;
    if (!node || !node->selectedRange)
        return;
    const TextRange range = *node->selectedRange;
    write(*node, range, text);
    node->selectedRange = TextRange{range.location + text.size(), 0};
}

void FakeAccessibility::write(FakeNode& node, TextRange range, const QString& text) {
    if (node.value && range.location + range.length <= node.value->size()) {
        const qint64 removed = std::exchange(node.nextWriteKeepsOldText, false) ? 0 : range.length;
        node.value->replace(range.location, removed, text);
        node.value->chop(std::exchange(node.nextWriteCutsTheEnd, 0));
    }
    if (const auto also = std::exchange(node.afterNextWrite, nullptr))
        also(node);
}

} // namespace ovra::test
