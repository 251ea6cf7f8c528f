#pragma once

#include "capture/selection_snapshot.h"
#include "platform/screen_services.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

namespace ovra {

// Where the floating panel goes, worked out on plain rectangles in logical screen coordinates
// (origin at the top-left of the primary screen, y downwards, so "above" means a smaller y).
namespace PanelPlacement {

inline constexpr double panelWidth = 340;
inline constexpr double minimumHeight = 56;
inline constexpr double heightWithoutContent = 120;
inline constexpr double screenMargin = 8;
inline constexpr double selectionGap = 12;
inline constexpr double toolbarGrowth = 4;
inline constexpr double pointerDrop = 10;   // the pointer anchor ends this far below the pointer
inline constexpr double pointerHeight = 14; // and is this high
inline const QRectF fallbackVisibleFrame{0, 0, 1440, 900};

// What the placement needs to know about the desktop at the moment it runs.
struct Desktop {
    QList<ScreenInfo> screens; // the platform's order; the first is the main screen
    QPointF pointer;           // the current pointer location
};

// Selection bounds worth placing against: a positive size, not at the exact origin (where some
// applications report "unknown"), and on some connected screen.
bool isPlausible(const QRectF& rect, const QList<ScreenInfo>& screens);

// The screen to place on: the one containing the anchor's centre, else the one containing the
// capture's pointer (or the current one), else the main screen; nothing without screens.
std::optional<ScreenInfo> anchorScreen(const QRectF& anchor, const SelectionSnapshot& snapshot,
                                       const Desktop& desktop);

// The rectangle the panel is placed against: the selection's bounds when plausible, else a
// zero-width strip around the capture's pointer (or the current one).
QRectF anchorRect(const SelectionSnapshot& snapshot, const Desktop& desktop);

// Whether a panel at `frame` would cover one of the toolbars, each grown by 4 on every side.
bool collides(const QRectF& frame, const QList<QRectF>& avoidRects);

// The panel's frame for `size`: centred on the anchor and kept inside the screen's visible area,
// above the selection when it fits and covers no toolbar, else below, else pinned to the edge
// with more room.
QRectF frameFor(QSizeF size, const SelectionSnapshot& snapshot, const QList<QRectF>& avoidRects,
                const Desktop& desktop);

} // namespace PanelPlacement

} // namespace ovra
