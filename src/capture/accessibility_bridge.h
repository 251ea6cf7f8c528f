#pragma once

#include "capture/selection_snapshot.h"
#include "platform/accessibility_services.h"
#include "platform/workspace_services.h"

#include <QList>
#include <QSet>
#include <optional>

namespace ovra {

// Reads another application's current selection through the accessibility services and turns it
// into a SelectionSnapshot. Applications expose their selection unevenly, so a capture tries a
// fixed sequence of places, each bounded, and takes the first usable selection: the element that
// last reported a selection change in the frontmost application (a few calls), then the focused
// elements, then the element under the pointer and its ancestors, then a breadth-first search.
// Also reads where a selection and an application's toolbars are on screen.
//
// One instance for the whole program (it remembers which processes were asked for their full
// tree). Runs on the accessibility thread; every call may block on the target application.
class AccessibilityBridge {
public:
    static constexpr int maxPointerChain = 12; // the element under the pointer and 11 ancestors
    static constexpr int maxSearchVisits = 350;
    static constexpr int maxSearchDepth = 8;
    static constexpr int maxToolbarWindows = 3;
    static constexpr int maxToolbarDepth = 4;
    static constexpr int toolbarRectsEnough = 5; // stop once more than this many are collected
    // A longer selection is placed by its first line (at most this many units of it): the bounds
    // of a whole long range cost the application a layout of all of it.
    static constexpr qint64 longRangeLength = 500;

    AccessibilityBridge(AccessibilityServices& accessibility, WorkspaceServices& workspace);

    // The current selection, from the first place that reports one; `mouseLocation` also becomes
    // the snapshot's mouseAtCapture.
    std::optional<SelectionSnapshot> captureSelection(std::optional<QPointF> mouseLocation);
    // A snapshot for text obtained outside the accessibility services (clipboard, PRIMARY),
    // attributed to the frontmost application. The caller has checked the text already.
    std::optional<SelectionSnapshot> snapshotFromExternalText(const QString& text,
                                                              std::optional<QPointF> mouseLocation);
    // Screen frames of the toolbars in the first windows of process `pid` (at most 6).
    QList<QRectF> toolbarRects(qint32 pid);
    // Opens the desktop's accessibility settings; false when there are none to open.
    bool openAccessibilitySettings();

    // The building blocks, public for the panel and for tests.
    std::optional<SelectionSnapshot> snapshot(const AccessibleElement& element,
                                              std::optional<QPointF> mouseLocation);
    std::optional<SelectionSnapshot> eventLedSnapshot(qint32 pid,
                                                      std::optional<QPointF> mouseLocation);
    std::optional<SelectionSnapshot> searchSelection(const AccessibleElement& root,
                                                     std::optional<QPointF> mouseLocation);
    QList<AccessibleElement> focusedElementCandidates();
    AccessibleElement elementAtPosition(QPointF point);
    QList<AccessibleElement> children(const AccessibleElement& element);
    std::optional<QRectF> screenFrame(const AccessibleElement& element);
    std::optional<QRectF> screenBounds(const AccessibleElement& element, TextRange range);
    bool computeIsEditable(const AccessibleElement& element);
    void enhanceInterface(const AccessibleElement& element);

    const QSet<qint32>& enhancedPIDs() const { return m_enhancedPIDs; }

private:
    void collectToolbars(const AccessibleElement& element, int depth, QList<QRectF>& into);
    std::optional<TextRange> reportedRange(const AccessibleElement& element);
    SelectionSnapshot completeSnapshot(const AccessibleElement& element, QString text,
                                       TextRange range, qint32 pid,
                                       std::optional<QPointF> mouseLocation);
    static TextRange placedRange(TextRange range, const QString& text);

    AccessibilityServices& m_accessibility;
    WorkspaceServices& m_workspace;
    QSet<qint32> m_enhancedPIDs; // processes already asked for their full tree; only grows
};

} // namespace ovra
