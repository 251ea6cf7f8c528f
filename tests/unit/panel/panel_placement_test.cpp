#include "panel/panel_placement.h"

#include <gtest/gtest.h>
#include <limits>

using namespace ovra;
using namespace ovra::PanelPlacement;
using namespace Qt::StringLiterals;

namespace {

const ScreenInfo laptop{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875)};
const QSizeF panel{340, 120};

Desktop oneScreen(QPointF pointer = {50, 50}) {
    return {{laptop}, pointer};
}

SelectionSnapshot selection(std::optional<QRectF> bounds,
                            std::optional<QPointF> mouse = QPointF(500, 300)) {
    SelectionSnapshot snapshot;
    snapshot.text = u"texto"_s;
    snapshot.pid = 7;
    snapshot.windowSpaceBounds = bounds;
    snapshot.mouseAtCapture = mouse;
    return snapshot;
}

} // namespace

// Where the panel goes on one screen, for each selection and the toolbars around it.
TEST(PanelPlacement, FramesFollowTheSelectionTheEdgesAndTheToolbars) {
    const QSizeF tall{340, 600};
    const QRectF middle(600, 400, 200, 20); // a panel above spans y 432..552
    const QRectF nearTop(600, 840, 100, 20);
    const struct Case {
        std::optional<QRectF> bounds;
        QRectF expected;
        QList<QRectF> toolbars = {};
        QSizeF size = panel;
    } cases[] = {
        {std::nullopt, {330, 316, 340, 120}},               // a copy capture: above the pointer
        {middle, {530, 432, 340, 120}},                     // centred above
        {QRectF(1400, 400, 30, 20), {1092, 432, 340, 120}}, // 8 inside the right edge
        {QRectF(10, 400, 30, 20), {8, 432, 340, 120}},      // and the left one
        {nearTop, {480, 708, 340, 120}},                    // below
        {QRectF(600, 300, 100, 20), {480, 267, 340, 600}, {}, tall}, // pinned where room is more
        {QRectF(600, 600, 100, 20), {480, 8, 340, 600}, {}, tall},
        {middle, {530, 268, 340, 120}, {QRectF(0, 555, 1440, 30)}}, // 3 above: collides grown
        {middle, {530, 432, 340, 120}, {QRectF(0, 557, 1440, 30)}}, // 5 above: does not
        {middle, {530, 432, 340, 120}, {QRectF(0, 555, 1440, 30), QRectF(0, 300, 1440, 30)}},
        {nearTop, {480, 708, 340, 120}, {QRectF(0, 700, 1440, 40)}}, // only below fits
    };
    for (const Case& c : cases)
        EXPECT_EQ(frameFor(c.size, selection(c.bounds), c.toolbars, oneScreen()), c.expected)
            << "case " << &c - cases;
    EXPECT_EQ(anchorRect(selection(std::nullopt), oneScreen()), QRectF(500, 290, 0, 14));

    // Without a capture pointer the current one is used.
    EXPECT_EQ(frameFor(panel, selection(std::nullopt, std::nullopt), {}, oneScreen({700, 100})),
              QRectF(530, 116, 340, 120));
    // A screen narrower than the panel: the left margin wins.
    const Desktop narrow{{{QRectF(0, 0, 300, 900), QRectF(0, 0, 300, 900)}}, {}};
    EXPECT_EQ(frameFor(panel, selection(QRectF(100, 400, 30, 20)), {}, narrow).x(), 8);
    // Without screens, the visible area (0, 0, 1440, 900): the same centring, more room above.
    EXPECT_EQ(frameFor(panel, selection(std::nullopt), {}, Desktop{{}, {}}),
              QRectF(330, 316, 340, 120));
}

TEST(PanelPlacement, ImplausibleBoundsFallBackToThePointer) {
    for (const QRectF& bounds :
         {QRectF(0, 0, 120, 18), QRectF(600, 400, 0, 18), QRectF(600, 400, 120, 0),
          QRectF(600, 400, -5, 18), QRectF(5000, 5000, 120, 18),
          QRectF(600, 400, std::numeric_limits<double>::quiet_NaN(), 18)}) {
        EXPECT_FALSE(isPlausible(bounds, {laptop})) << bounds.x() << "," << bounds.y();
        EXPECT_EQ(frameFor(panel, selection(bounds), {}, oneScreen()), QRectF(330, 316, 340, 120));
    }
    // Bounds at the origin of the y axis alone are fine.
    EXPECT_TRUE(isPlausible(QRectF(10, 0, 120, 18), {laptop}));
    EXPECT_FALSE(isPlausible(QRectF(10, 10, 120, 18), {}));
}

// An anchor on no screen falls to the pointer's screen, then to the first one.
TEST(PanelPlacement, TheSelectionsScreenIsUsedElseThePointersElseTheFirst) {
    const ScreenInfo external{QRectF(1440, 0, 1920, 1080), QRectF(1440, 40, 1920, 1040)};
    const Desktop desktop{{laptop, external}, {100, 100}};
    EXPECT_EQ(anchorScreen(QRectF(3300, 1000, 40, 20), selection({}), desktop), external);
    // Pushed left of the external screen's right edge, and below as its top is near.
    EXPECT_EQ(frameFor(panel, selection(QRectF(3300, 1000, 40, 20)), {}, desktop),
              QRectF(3012, 868, 340, 120));
    EXPECT_EQ(anchorScreen(QRectF(-900, -900, 1, 1), selection({}, QPointF(2000, 500)), desktop),
              external);
    EXPECT_EQ(anchorScreen(QRectF(-900, -900, 1, 1), selection({}, QPointF(-5, -5)), desktop),
              laptop);
    EXPECT_FALSE(anchorScreen(QRectF(10, 10, 1, 1), selection({}), Desktop{{}, {}}));
}

TEST(PanelPlacement, CollidesGrowsEachToolbarByFour) {
    const QRectF frame(100, 100, 340, 120);
    EXPECT_FALSE(collides(frame, {}));
    EXPECT_TRUE(collides(frame, {QRectF(443, 150, 10, 10)}));  // 3 right of the edge
    EXPECT_FALSE(collides(frame, {QRectF(444, 150, 10, 10)})); // only touches once grown
}

TEST(PanelPlacement, APanelTallerThanTheScreenIsCutToItAndKeepsItsTopOnScreen) {
    // A selection low, high and in the middle of the screen, with a panel many screens tall.
    for (const double y : {40.0, 450.0, 860.0}) {
        const QRectF frame =
            frameFor({340, 10'846}, selection(QRectF(600, y, 120, 18)), {}, oneScreen());
        EXPECT_EQ(frame.height(), 875 - 2 * screenMargin) << y;
        EXPECT_GE(frame.top(), laptop.visibleFrame.top() + screenMargin) << y;
        EXPECT_LE(frame.bottom(), laptop.visibleFrame.bottom() - screenMargin) << y;
    }
}
