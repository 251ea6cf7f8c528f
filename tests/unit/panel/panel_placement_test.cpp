#include "panel/panel_placement.h"

#include <gtest/gtest.h>
#include <limits>

using namespace ovra;
using namespace ovra::PanelPlacement;
using namespace Qt::StringLiterals;

namespace {

// A menu bar 25 high at the top.
const ScreenInfo laptop{QRectF(0, 0, 1440, 900), QRectF(0, 25, 1440, 875)};
const QSizeF panel{340, 120};

Desktop oneScreen(QPointF pointer = {50, 50}) {
    return {{laptop}, pointer};
}

SelectionSnapshot selection(std::optional<QRectF> bounds,
                            std::optional<QPointF> mouse = QPointF(500, 600)) {
    SelectionSnapshot snapshot;
    snapshot.text = u"texto"_s;
    snapshot.pid = 7;
    snapshot.screenBounds = bounds;
    snapshot.mouseAtCapture = mouse;
    return snapshot;
}

} // namespace

// Where the panel goes on one screen, for each selection and the toolbars around it.
TEST(PanelPlacement, FramesFollowTheSelectionTheEdgesAndTheToolbars) {
    const QSizeF tall{340, 600};
    const QRectF middle(600, 480, 200, 20); // a panel above spans y 348..468
    const QRectF nearTop(600, 40, 100, 20);
    const struct Case {
        std::optional<QRectF> bounds;
        QRectF expected;
        QList<QRectF> toolbars = {};
        QSizeF size = panel;
    } cases[] = {
        {std::nullopt, {330, 464, 340, 120}},               // a copy capture: above the pointer
        {middle, {530, 348, 340, 120}},                     // centred above
        {QRectF(1400, 480, 30, 20), {1092, 348, 340, 120}}, // 8 inside the right edge
        {QRectF(10, 480, 30, 20), {8, 348, 340, 120}},      // and the left one
        {nearTop, {480, 72, 340, 120}},                     // below
        {QRectF(600, 580, 100, 20), {480, 33, 340, 600}, {}, tall}, // pinned where room is more
        {QRectF(600, 280, 100, 20), {480, 292, 340, 600}, {}, tall},
        {middle, {530, 512, 340, 120}, {QRectF(0, 315, 1440, 30)}}, // 3 above: collides grown
        {middle, {530, 348, 340, 120}, {QRectF(0, 313, 1440, 30)}}, // 5 above: does not
        {middle, {530, 348, 340, 120}, {QRectF(0, 315, 1440, 30), QRectF(0, 570, 1440, 30)}},
        {nearTop, {480, 72, 340, 120}, {QRectF(0, 160, 1440, 40)}}, // only below fits
    };
    for (const Case& c : cases)
        EXPECT_EQ(frameFor(c.size, selection(c.bounds), c.toolbars, oneScreen()), c.expected)
            << "case " << &c - cases;
    EXPECT_EQ(anchorRect(selection(std::nullopt), oneScreen()), QRectF(500, 596, 0, 14));

    // Without a capture pointer the current one is used.
    EXPECT_EQ(frameFor(panel, selection(std::nullopt, std::nullopt), {}, oneScreen({700, 800})),
              QRectF(530, 664, 340, 120));
    // A screen narrower than the panel: the left margin wins.
    const Desktop narrow{{{QRectF(0, 0, 300, 900), QRectF(0, 0, 300, 900)}}, {}};
    EXPECT_EQ(frameFor(panel, selection(QRectF(100, 480, 30, 20)), {}, narrow).x(), 8);
    // Without screens, the visible area (0, 0, 1440, 900): the same centring, more room above.
    EXPECT_EQ(frameFor(panel, selection(std::nullopt), {}, Desktop{{}, {}}),
              QRectF(330, 464, 340, 120));
}

TEST(PanelPlacement, ImplausibleBoundsFallBackToThePointer) {
    // The origin is what some applications report for "unknown", whatever the text's size.
    for (const QRectF& bounds :
         {QRectF(0, 0, 120, 18), QRectF(600, 482, 0, 18), QRectF(600, 500, 120, 0),
          QRectF(600, 482, -5, 18), QRectF(5000, -4118, 120, 18),
          QRectF(600, 482, std::numeric_limits<double>::quiet_NaN(), 18)}) {
        EXPECT_FALSE(isPlausible(bounds, {laptop})) << bounds.x() << "," << bounds.y();
        EXPECT_EQ(frameFor(panel, selection(bounds), {}, oneScreen()), QRectF(330, 464, 340, 120));
    }
    // Bounds at the origin of the y axis alone (the top of the screen) are fine.
    EXPECT_TRUE(isPlausible(QRectF(10, 0, 120, 18), {laptop}));
    EXPECT_FALSE(isPlausible(QRectF(10, 10, 120, 18), {}));
}

// An anchor on no screen falls to the pointer's screen, then to the first one.
TEST(PanelPlacement, TheSelectionsScreenIsUsedElseThePointersElseTheFirst) {
    // Taller than the laptop, level with it at the bottom, with a dock 40 high there.
    const ScreenInfo external{QRectF(1440, -180, 1920, 1080), QRectF(1440, -180, 1920, 1040)};
    const Desktop desktop{{laptop, external}, {100, 800}};
    EXPECT_EQ(anchorScreen(QRectF(3300, -120, 40, 20), selection({}), desktop), external);
    // Pushed left of the external screen's right edge, and below as its top is near.
    EXPECT_EQ(frameFor(panel, selection(QRectF(3300, -120, 40, 20)), {}, desktop),
              QRectF(3012, -88, 340, 120));
    EXPECT_EQ(anchorScreen(QRectF(-900, 1799, 1, 1), selection({}, QPointF(2000, 400)), desktop),
              external);
    EXPECT_EQ(anchorScreen(QRectF(-900, 1799, 1, 1), selection({}, QPointF(-5, 905)), desktop),
              laptop);
    EXPECT_FALSE(anchorScreen(QRectF(10, 10, 1, 1), selection({}), Desktop{{}, {}}));
}

TEST(PanelPlacement, APanelTallerThanTheScreenIsCutToItAndKeepsItsTopOnScreen) {
    // A selection low, high and in the middle of the screen, with a panel many screens tall.
    for (const double y : {842.0, 432.0, 22.0}) {
        const QRectF frame =
            frameFor({340, 10'846}, selection(QRectF(600, y, 120, 18)), {}, oneScreen());
        EXPECT_EQ(frame.height(), 875 - 2 * screenMargin) << y;
        EXPECT_GE(frame.top(), laptop.visibleFrame.top() + screenMargin) << y;
        EXPECT_LE(frame.bottom(), laptop.visibleFrame.bottom() - screenMargin) << y;
    }
}
