#include "capture/accessibility_bridge.h"

#include <deque>
#include <utility>

namespace ovra {

AccessibilityBridge::AccessibilityBridge(AccessibilityServices& accessibility,
                                         WorkspaceServices& workspace)
    : m_accessibility(accessibility), m_workspace(workspace) {}

std::optional<SelectionSnapshot>
AccessibilityBridge::captureSelection(std::optional<QPointF> mouseLocation) {
    if (const auto frontmost = m_workspace.frontmostApplication()) {
        if (auto found = eventLedSnapshot(frontmost->pid, mouseLocation))
            return found;
    }
    const QList<AccessibleElement> candidates = focusedElementCandidates();
    for (const AccessibleElement& candidate : candidates) {
        if (auto found = snapshot(candidate, mouseLocation))
            return found;
    }

    AccessibleElement underPointer;
    if (mouseLocation)
        underPointer = elementAtPosition(*mouseLocation);
    if (underPointer) {
        AccessibleElement current = underPointer;
        for (int i = 0; i < maxPointerChain && current; ++i) {
            if (auto found = snapshot(current, mouseLocation))
                return found;
            const auto parent = m_accessibility.parent(current);
            if (!parent.ok())
                break;
            current = parent.value;
        }
    }

    // The same element may be both under the pointer and focused; searching it twice cannot find
    // anything new and costs a full search on a slow bus.
    QList<AccessibleElement> roots;
    if (underPointer)
        roots.append(underPointer);
    for (const AccessibleElement& candidate : candidates) {
        if (!roots.contains(candidate))
            roots.append(candidate);
    }
    for (const AccessibleElement& root : std::as_const(roots)) {
        if (auto found = searchSelection(root, mouseLocation))
            return found;
    }
    return std::nullopt;
}

std::optional<TextRange> AccessibilityBridge::reportedRange(const AccessibleElement& element) {
    const auto range = m_accessibility.selectedTextRange(element);
    // A negative length or location is no usable range; the whole text stands in for it.
    if (!range.ok() || range.value.length < 0 || range.value.location < 0)
        return std::nullopt;
    return range.value;
}

std::optional<SelectionSnapshot>
AccessibilityBridge::snapshot(const AccessibleElement& element,
                              std::optional<QPointF> mouseLocation) {
    if (!element)
        return std::nullopt;
    // The text first: most elements have none, and that answer is the cheapest to get.
    const auto text = m_accessibility.selectedText(element);
    if (!text.ok() || !SelectionText::isCapturable(text.value))
        return std::nullopt;
    const qint32 pid = m_accessibility.processId(element);
    if (pid == 0)
        return std::nullopt;

    const TextRange range =
        reportedRange(element).value_or(SelectionText::wholeTextRange(text.value));
    return completeSnapshot(element, text.value, range, pid, mouseLocation);
}

std::optional<SelectionSnapshot>
AccessibilityBridge::eventLedSnapshot(qint32 pid, std::optional<QPointF> mouseLocation) {
    const AccessibleElement element = m_accessibility.lastSelectionEvent(pid).element;
    if (!element)
        return std::nullopt;
    // Gone, or its selection emptied since it reported: the usual places decide.
    const auto range = reportedRange(element);
    if (!range || range->length <= 0)
        return std::nullopt;
    const auto text = m_accessibility.selectedText(element);
    if (!text.ok() || !SelectionText::isCapturable(text.value))
        return std::nullopt;
    return completeSnapshot(element, text.value, *range, pid, mouseLocation);
}

SelectionSnapshot AccessibilityBridge::completeSnapshot(const AccessibleElement& element,
                                                        QString text, TextRange range, qint32 pid,
                                                        std::optional<QPointF> mouseLocation) {
    SelectionSnapshot result;
    result.screenBounds = screenBounds(element, placedRange(range, text));
    result.text = std::move(text);
    result.element = element;
    result.range = range;
    result.mouseAtCapture = mouseLocation;
    result.pid = pid;
    // A process may show windows of several classes (an office suite, a browser's web apps); the
    // active one holds the focus and the selection, and is the one the menu and the copy
    // capture name, so its id wins over the process's first window.
    auto app = m_workspace.frontmostApplication();
    if (!app || app->pid != pid)
        app = m_workspace.runningApplication(pid);
    if (app) {
        result.appId = app->appId;
        result.appName = app->name;
    }
    result.isEditable = computeIsEditable(element);
    return result;
}

TextRange AccessibilityBridge::placedRange(TextRange range, const QString& text) {
    if (range.length <= longRangeLength)
        return range;
    qsizetype firstLine = text.indexOf(u'\n');
    if (firstLine < 0 || firstLine > longRangeLength)
        firstLine = longRangeLength;
    return {range.location, firstLine};
}

std::optional<SelectionSnapshot>
AccessibilityBridge::searchSelection(const AccessibleElement& root,
                                     std::optional<QPointF> mouseLocation) {
    std::deque<std::pair<AccessibleElement, int>> queue{{root, 0}};
    int visited = 0;
    while (!queue.empty()) {
        if (visited >= maxSearchVisits)
            return std::nullopt;
        auto [element, depth] = std::move(queue.front());
        queue.pop_front();
        if (auto found = snapshot(element, mouseLocation))
            return found;
        if (depth < maxSearchDepth) {
            const QList<AccessibleElement> kids = children(element);
            for (const AccessibleElement& child : kids)
                queue.emplace_back(child, depth + 1);
        }
        ++visited;
    }
    return std::nullopt;
}

QList<AccessibleElement> AccessibilityBridge::focusedElementCandidates() {
    QList<AccessibleElement> result;
    const auto systemFocus = m_accessibility.systemFocusedElement();
    if (systemFocus.ok() && systemFocus.value) {
        enhanceInterface(systemFocus.value);
        result.append(systemFocus.value);
    }

    const auto frontmost = m_workspace.frontmostApplication();
    if (!frontmost)
        return result;
    const AccessibleElement application = m_accessibility.applicationElement(frontmost->pid);
    if (!application)
        return result;
    enhanceInterface(application);
    const auto appFocus = m_accessibility.focusedElement(application);
    if (appFocus.ok() && appFocus.value && !result.contains(appFocus.value)) {
        result.append(appFocus.value);
    }
    return result;
}

void AccessibilityBridge::enhanceInterface(const AccessibleElement& element) {
    const qint32 pid = m_accessibility.processId(element);
    if (pid == 0 || m_enhancedPIDs.contains(pid))
        return;
    m_enhancedPIDs.insert(pid);
    const AccessibleElement application = m_accessibility.applicationElement(pid);
    if (application)
        m_accessibility.setFullAccessibilityTree(application, true);
}

AccessibleElement AccessibilityBridge::elementAtPosition(QPointF point) {
    const auto found = m_accessibility.elementAtPosition(point);
    return found.ok() ? found.value : AccessibleElement{};
}

QList<AccessibleElement> AccessibilityBridge::children(const AccessibleElement& element) {
    auto kids = m_accessibility.children(element);
    return kids.ok() ? std::move(kids.value) : QList<AccessibleElement>{};
}

std::optional<QRectF> AccessibilityBridge::screenBounds(const AccessibleElement& element,
                                                        TextRange range) {
    const auto bounds = m_accessibility.boundsForRange(element, range);
    if (!bounds.ok())
        return std::nullopt;
    // A caret has zero width and is still a place to stand beside; negative sizes are garbage.
    if (bounds.value.width() < 0 || bounds.value.height() < 0)
        return std::nullopt;
    return bounds.value;
}

std::optional<QRectF> AccessibilityBridge::screenFrame(const AccessibleElement& element) {
    const auto frame = m_accessibility.frame(element);
    if (!frame.ok() || frame.value.width() <= 0 || frame.value.height() <= 0)
        return std::nullopt;
    return frame.value;
}

bool AccessibilityBridge::computeIsEditable(const AccessibleElement& element) {
    for (const SettableAttribute attribute :
         {SettableAttribute::SelectedText, SettableAttribute::Value}) {
        const auto settable = m_accessibility.isSettable(element, attribute);
        if (settable.ok() && settable.value)
            return true;
    }
    const auto role = m_accessibility.role(element);
    return role.ok() &&
           (role.value == ElementRole::TextField || role.value == ElementRole::TextArea ||
            role.value == ElementRole::ComboBox);
}

std::optional<SelectionSnapshot>
AccessibilityBridge::snapshotFromExternalText(const QString& text,
                                              std::optional<QPointF> mouseLocation) {
    const auto frontmost = m_workspace.frontmostApplication();
    if (!frontmost || frontmost->pid == 0)
        return std::nullopt;

    SelectionSnapshot result;
    const QList<AccessibleElement> candidates = focusedElementCandidates();
    for (const AccessibleElement& candidate : candidates) {
        if (m_accessibility.processId(candidate) == frontmost->pid) {
            result.element = candidate;
            break;
        }
    }
    result.text = text;
    result.range = SelectionText::wholeTextRange(text);
    if (result.element) {
        if (const auto range = reportedRange(result.element))
            result.range = *range;
    }
    result.mouseAtCapture = mouseLocation;
    result.pid = frontmost->pid;
    result.appId = frontmost->appId;
    result.appName = frontmost->name;
    result.isEditable = result.element && computeIsEditable(result.element);
    return result;
}

QList<QRectF> AccessibilityBridge::toolbarRects(qint32 pid) {
    QList<QRectF> result;
    const AccessibleElement application = m_accessibility.applicationElement(pid);
    if (!application)
        return result;
    const auto windows = m_accessibility.windows(application);
    if (!windows.ok())
        return result;
    for (qsizetype i = 0; i < windows.value.size() && i < maxToolbarWindows; ++i) {
        collectToolbars(windows.value[i], 0, result);
        if (result.size() > toolbarRectsEnough)
            break;
    }
    return result;
}

void AccessibilityBridge::collectToolbars(const AccessibleElement& element, int depth,
                                          QList<QRectF>& into) {
    if (depth > maxToolbarDepth || into.size() > toolbarRectsEnough)
        return;
    const auto role = m_accessibility.role(element);
    if (role.ok() && role.value == ElementRole::Toolbar) {
        if (const auto frame = screenFrame(element))
            into.append(*frame);
        return;
    }
    const QList<AccessibleElement> kids = children(element);
    for (const AccessibleElement& child : kids)
        collectToolbars(child, depth + 1, into);
}

bool AccessibilityBridge::openAccessibilitySettings() {
    return m_workspace.openAccessibilitySettings();
}

} // namespace ovra
