#include "platform/linux/qt/device_pixels.h"

#include <gtest/gtest.h>

namespace ovra::platform {
namespace {

// A 2560x1600 device screen at ratio 2 (1280x800 logical) with a 1920x1080 one at ratio 1 to its
// right: Qt keeps each screen's top-left, so the second starts at x 2560 in both spaces.
const DevicePixels twoScreens({{QPointF(0, 0), QSizeF(1280, 800), 2.0},
                               {QPointF(2560, 0), QSizeF(1920, 1080), 1.0}});

TEST(DevicePixelsTest, ConvertsByTheScreenHoldingThePointAndBack) {
    struct Case {
        QPointF device;
        QPointF logical;
    };
    const Case cases[] = {
        {{0, 0}, {0, 0}},
        {{200, 120}, {100, 60}},     // on the scaled screen
        {{2558, 1598}, {1279, 799}}, // its far corner
        {{1300, 10}, {650, 5}},      // device x 1300 is still the scaled screen's
        {{-40, -40}, {-20, -20}},    // on no screen: the primary's scale
    };
    for (const Case& c : cases) {
        EXPECT_EQ(twoScreens.toLogical(c.device), c.logical) << c.device.x() << "," << c.device.y();
        EXPECT_EQ(twoScreens.toDevice(c.logical), c.device)
            << c.logical.x() << "," << c.logical.y();
    }
    // On the unscaled screen nothing changes.
    EXPECT_EQ(twoScreens.toDevice(QPointF(2600, 10)), QPointF(2600, 10));
    EXPECT_EQ(twoScreens.toLogical(QPointF(2600, 10)), QPointF(2600, 10));
    EXPECT_EQ(twoScreens.toLogical(QRectF(200, 120, 80, 34)), QRectF(100, 60, 40, 17));
    EXPECT_EQ(DevicePixels({}).toLogical(QRectF(5, 6, 7, 8)), QRectF(5, 6, 7, 8));
}

} // namespace
} // namespace ovra::platform
