// Where the tray advertisement goes, whatever panels the screen has.
#include "ad_corner.h"

#include <gtest/gtest.h>

namespace {

TEST(AdCornerTest, TheWindowTouchesTheBottomRightCornerOfTheFreeArea) {
    const struct {
        QRect available;
        QPoint corner;
    } cases[] = {
        {{0, 0, 1920, 1040}, {1618, 753}},     // a 40 high panel at the bottom of 1920 x 1080
        {{60, 0, 1860, 1080}, {1618, 793}},    // a panel on the left
        {{0, 32, 1920, 1048}, {1618, 793}},    // a panel at the top
        {{1920, 0, 1280, 1024}, {2898, 737}},  // a primary screen right of another
    };
    for (const auto& c : cases)
        EXPECT_EQ(AdCorner(c.available, {302, 287}), c.corner) << c.available.x();
}

}  // namespace
