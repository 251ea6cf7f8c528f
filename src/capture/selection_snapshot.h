#pragma once

#include "platform/accessible_element.h"
#include "platform/text_range.h"
#include "platform/workspace_services.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>

namespace ovra {

// One captured selection: its text, where it lives and where it is on screen. A plain value.
//
// Every producer keeps these invariants: `text` has at least 2 characters that are not white
// space, `pid` is not 0 and `range.length` is not negative.
struct SelectionSnapshot {
    QString text;                          // as the application returned it, untrimmed
    AccessibleElement element;             // null only for a copy capture without a focused element
    TextRange range;                       // UTF-16 code units inside `element`
    std::optional<QRectF> screenBounds;    // on-screen bounds of `range`, logical pixels
    std::optional<QPointF> mouseAtCapture; // the pointer position the capture was asked to use
    qint32 pid = 0;
    QString appId;   // "" when the platform reports none
    QString appName; // "" when the platform reports none
    bool isEditable = false;
    // The active window when the selection was read, where the desktop names windows: a paste
    // goes into that window only, never into another one of the same application.
    std::optional<WindowId> window;
};

namespace SelectionText {

// Characters (code points) that are not white space, line breaks included as white space.
qsizetype nonWhitespaceCount(QStringView text);

// Whether `text` is worth a panel: at least 2 characters that are not white space.
bool isCapturable(QStringView text);

// The range that stands for the whole of `text` when the element reports none.
TextRange wholeTextRange(QStringView text);

} // namespace SelectionText

} // namespace ovra
