#include "fakes/fake_accessibility.h"

#include <algorithm>
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

template <typename T> AXResult<T> fromOptional(const std::optional<T>& value) {
    return value ? AXResult<T>::success(*value) : AXResult<T>::failure(AXStatus::NoValue);
}

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
    const auto it = std::find_if(m_applications.begin(), m_applications.end(),
                                 [pid](const auto& node) { return node->pid == pid; });
    if (it != m_applications.end())
        return *it;
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

bool FakeAccessibility::takeTimedOut() {
    return std::exchange(m_timedOut, false);
}

AccessibleElement FakeAccessibility::applicationElement(qint32 pid) {
    ++calls;
    if (pid == 0)
        return {};
    return elementFor(application(pid));
}

AXResult<AccessibleElement> FakeAccessibility::systemFocusedElement() {
    ++calls;
    if (failSystemFocus)
        return AXResult<AccessibleElement>::failure();
    return AXResult<AccessibleElement>::success(elementFor(systemFocus));
}

AXResult<AccessibleElement> FakeAccessibility::focusedElement(const AccessibleElement& app) {
    const auto node = reach(app);
    if (!node || !node->focused)
        return AXResult<AccessibleElement>::failure(AXStatus::NoValue);
    return AXResult<AccessibleElement>::success(elementFor(node->focused));
}

AXResult<AccessibleElement> FakeAccessibility::elementAtPosition(QPointF point) {
    ++calls;
    pointQueries.append(point);
    if (!nodeAtPoint)
        return AXResult<AccessibleElement>::failure(AXStatus::NoValue);
    return AXResult<AccessibleElement>::success(elementFor(nodeAtPoint));
}

qint32 FakeAccessibility::processId(const AccessibleElement& element) {
    const auto node = reach(element);
    return node ? node->pid : 0;
}

AXResult<QString> FakeAccessibility::selectedText(const AccessibleElement& element) {
    const auto node = reach(element);
    if (!node)
        return AXResult<QString>::failure(AXStatus::InvalidElement);
    ++node->selectedTextReads;
    return fromOptional(node->selectedText);
}

AXResult<TextRange> FakeAccessibility::selectedTextRange(const AccessibleElement& element) {
    const auto node = reach(element);
    return node ? fromOptional(node->selectedRange)
                : AXResult<TextRange>::failure(AXStatus::InvalidElement);
}

AXResult<QRectF> FakeAccessibility::boundsForRange(const AccessibleElement& element,
                                                   TextRange range) {
    boundsQueries.append(range);
    const auto node = reach(element);
    return node ? fromOptional(node->rangeBounds)
                : AXResult<QRectF>::failure(AXStatus::InvalidElement);
}

AXResult<QString> FakeAccessibility::stringForRange(const AccessibleElement& element,
                                                    TextRange range) {
    const auto node = reach(element);
    if (!node)
        return AXResult<QString>::failure(AXStatus::InvalidElement);
    if (!node->value)
        return AXResult<QString>::failure();
    return AXResult<QString>::success(node->value->mid(range.location, range.length));
}

AXResult<QString> FakeAccessibility::value(const AccessibleElement& element) {
    const auto node = reach(element);
    return node ? fromOptional(node->value) : AXResult<QString>::failure(AXStatus::InvalidElement);
}

AXResult<bool> FakeAccessibility::isSettable(const AccessibleElement& element,
                                             SettableAttribute attribute) {
    const auto node = reach(element);
    if (!node)
        return AXResult<bool>::failure(AXStatus::InvalidElement);
    return AXResult<bool>::success(attribute == SettableAttribute::SelectedText
                                       ? node->selectedTextSettable
                                       : node->valueSettable);
}

AXResult<AccessibleElement> FakeAccessibility::parent(const AccessibleElement& element) {
    const auto node = reach(element);
    if (!node || node->failParent)
        return AXResult<AccessibleElement>::failure();
    return AXResult<AccessibleElement>::success(elementFor(node->parent.lock()));
}

AXResult<QList<AccessibleElement>> FakeAccessibility::children(const AccessibleElement& element) {
    const auto node = reach(element);
    if (!node || node->failChildren)
        return AXResult<QList<AccessibleElement>>::failure();
    return AXResult<QList<AccessibleElement>>::success(elementsFor(node->children));
}

AXResult<ElementRole> FakeAccessibility::role(const AccessibleElement& element) {
    const auto node = reach(element);
    return node ? fromOptional(node->role)
                : AXResult<ElementRole>::failure(AXStatus::InvalidElement);
}

AXResult<QRectF> FakeAccessibility::frame(const AccessibleElement& element) {
    const auto node = reach(element);
    return node ? fromOptional(node->frame) : AXResult<QRectF>::failure(AXStatus::InvalidElement);
}

AXResult<QList<AccessibleElement>> FakeAccessibility::windows(const AccessibleElement& app) {
    const auto node = reach(app);
    if (!node)
        return AXResult<QList<AccessibleElement>>::failure(AXStatus::InvalidElement);
    return AXResult<QList<AccessibleElement>>::success(elementsFor(node->windows));
}

AXStatus FakeAccessibility::setEnhancedUserInterface(const AccessibleElement& app, bool on) {
    const auto node = reach(app);
    if (!node)
        return AXStatus::InvalidElement;
    if (on)
        enhancedApplications.append(node->pid);
    return AXStatus::Success;
}

AXStatus FakeAccessibility::setSelectedTextRange(const AccessibleElement& element,
                                                 TextRange range) {
    const auto node = reach(element);
    if (!node)
        return AXStatus::InvalidElement;
    node->selectedRange = range;
    return AXStatus::Success;
}

AXStatus FakeAccessibility::setSelectedText(const AccessibleElement& element, const QString& text) {
    const auto node = reach(element);
    if (!node || !node->selectedTextSettable)
        return AXStatus::Failure;
    if (node->insertFails)
        return AXStatus::Failure; // deleted, refused, restored: value and selection as before
    node->writtenTexts.append(text);
    node->selectedText = text;
    return AXStatus::Success;
}

AXStatus FakeAccessibility::replaceText(const AccessibleElement& element, TextRange range,
                                        const QString& text) {
    const auto node = reach(element);
    if (!node || !node->selectedTextSettable || node->insertFails || node->writesLeft == 0)
        return AXStatus::Failure;
    if (node->writesLeft > 0)
        --node->writesLeft;
    node->writtenTexts.append(text);
    write(*node, range, text);
    return std::exchange(node->nextWriteReportsFailure, false) ? AXStatus::Failure
                                                               : AXStatus::Success;
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
