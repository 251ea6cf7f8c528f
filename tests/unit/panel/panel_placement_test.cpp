#include "panel/panel_placement.h"

#include <gtest/gtest.h>
#include <limits>

using namespace ovra;
using namespace ovra::PanelPlacement;

namespace {

const ScreenInfo laptop{QRectF(0, 0, 1440, 900), QRectF(0, 0, 1440, 875)};
const QSizeF panel{340, 120};

Desktop oneScreen(QPointF pointer = {50, 50}) {
    return {{laptop}, pointer};
}

SelectionSnapshot selection(std::optional<QRectF> bounds,
                            std::optional<QPointF> mouse = QPointF(500, 300)) {
    SelectionSnapshot snapshot;
    snapshot.text = QStringLiteral("texto");
    snapshot.pid = 7;
    snapshot.appKitBounds = bounds;
    snapshot.mouseAtCapture = mouse;
    return snapshot;
}

} // namespace

TEST(PanelPlacement, CopyCaptureIsPlacedAboveThePointer) {
    const QRectF frame = frameFor(panel, selection(std::nullopt), {}, oneScreen());
    EXPECT_EQ(frame, QRectF(330, 316, 340, 120));
    EXPECT_EQ(anchorRect(selection(std::nullopt), oneScreen()), QRectF(500, 290, 0, 14));
}

TEST(PanelPlacement, WithoutCapturePointerTheCurrentPointerIsUsed) {
    const QRectF frame =
        frameFor(panel, selection(std::nullopt, std::nullopt), {}, oneScreen({700, 100}));
    EXPECT_EQ(frame, QRectF(530, 116, 340, 120));
}

TEST(PanelPlacement, ImplausibleBoundsFallBackToThePointer) {
    const QRectF expected(330, 316, 340, 120);
    for (const QRectF& bounds :
         {QRectF(0, 0, 120, 18), QRectF(600, 400, 0, 18), QRectF(600, 400, 120, 0),
          QRectF(600, 400, -5, 18), QRectF(5000, 5000, 120, 18),
          QRectF(600, 400, std::numeric_limits<double>::quiet_NaN(), 18)}) {
        EXPECT_FALSE(isPlausible(bounds, {laptop})) << bounds.x() << "," << bounds.y();
        EXPECT_EQ(frameFor(panel, selection(bounds), {}, oneScreen()), expected);
    }
    // Bounds at the origin of the y axis alone are fine.
    EXPECT_TRUE(isPlausible(QRectF(10, 0, 120, 18), {laptop}));
    EXPECT_FALSE(isPlausible(QRectF(10, 10, 120, 18), {}));
}

TEST(PanelPlacement, CentredAboveTheSelection) {
    EXPECT_EQ(frameFor(panel, selection(QRectF(600, 400, 200, 20)), {}, oneScreen()),
              QRectF(530, 432, 340, 120));
}

TEST(PanelPlacement, KeptEightPointsInsideTheHorizontalEdges) {
    EXPECT_EQ(frameFor(panel, selection(QRectF(1400, 400, 30, 20)), {}, oneScreen()).x(), 1092);
    EXPECT_EQ(frameFor(panel, selection(QRectF(10, 400, 30, 20)), {}, oneScreen()).x(), 8);
    // A screen narrower than the panel: the left margin wins.
    const Desktop narrow{{{QRectF(0, 0, 300, 900), QRectF(0, 0, 300, 900)}}, {}};
    EXPECT_EQ(frameFor(panel, selection(QRectF(100, 400, 30, 20)), {}, narrow).x(), 8);
}

TEST(PanelPlacement, NearTheTopGoesBelow) {
    EXPECT_EQ(frameFor(panel, selection(QRectF(600, 840, 100, 20)), {}, oneScreen()),
              QRectF(480, 708, 340, 120));
}

TEST(PanelPlacement, FittingNeitherSidePinsToTheSideWithMoreRoom) {
    const QSizeF tall{340, 600};
    // Room above 535, below 280: pinned to the top margin.
    EXPECT_EQ(frameFor(tall, selection(QRectF(600, 300, 100, 20)), {}, oneScreen()).y(), 267);
    // Room above 235, below 580: pinned to the bottom margin.
    EXPECT_EQ(frameFor(tall, selection(QRectF(600, 600, 100, 20)), {}, oneScreen()).y(), 8);
}

TEST(PanelPlacement, ToolbarAboveSendsThePanelBelow) {
    const SelectionSnapshot snapshot = selection(QRectF(600, 400, 200, 20));
    // The panel above would span y 432..552; a toolbar 3 points above it collides once grown.
    EXPECT_EQ(frameFor(panel, snapshot, {QRectF(0, 555, 1440, 30)}, oneScreen()).y(), 268);
    // 5 points away it does not.
    EXPECT_EQ(frameFor(panel, snapshot, {QRectF(0, 557, 1440, 30)}, oneScreen()).y(), 432);
    // Toolbars on both sides: the panel stays above.
    EXPECT_EQ(
        frameFor(panel, snapshot, {QRectF(0, 555, 1440, 30), QRectF(0, 300, 1440, 30)}, oneScreen())
            .y(),
        432);
}

TEST(PanelPlacement, CollisionsAreNotConsideredWhenOnlyBelowFits) {
    const SelectionSnapshot snapshot = selection(QRectF(600, 840, 100, 20));
    EXPECT_EQ(frameFor(panel, snapshot, {QRectF(0, 700, 1440, 40)}, oneScreen()).y(), 708);
}

TEST(PanelPlacement, TheScreenHoldingTheSelectionIsUsed) {
    const ScreenInfo external{QRectF(1440, 0, 1920, 1080), QRectF(1440, 40, 1920, 1040)};
    const Desktop desktop{{laptop, external}, {100, 100}};
    const SelectionSnapshot snapshot = selection(QRectF(3300, 1000, 40, 20));
    ASSERT_EQ(anchorScreen(QRectF(3300, 1000, 40, 20), snapshot, desktop), external);
    // Pushed left of the external screen's right edge and below, as the top is near.
    EXPECT_EQ(frameFor(panel, snapshot, {}, desktop), QRectF(3012, 868, 340, 120));

    // An anchor on no screen falls to the pointer's screen, then to the first one.
    EXPECT_EQ(anchorScreen(QRectF(-900, -900, 1, 1), selection({}, QPointF(2000, 500)), desktop),
              external);
    EXPECT_EQ(anchorScreen(QRectF(-900, -900, 1, 1), selection({}, QPointF(-5, -5)), desktop),
              laptop);
}

TEST(PanelPlacement, WithoutScreensTheDefaultAreaIsUsed) {
    const Desktop none{{}, {}};
    EXPECT_FALSE(anchorScreen(QRectF(10, 10, 1, 1), selection({}), none));
    // Visible area (0, 0, 1440, 900): the same centring, more room above.
    EXPECT_EQ(frameFor(panel, selection(std::nullopt), {}, none), QRectF(330, 316, 340, 120));
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
