#include "viewer/display/ViewGeometry.h"

#include <gtest/gtest.h>

#include <utility>

namespace telvo {
namespace {

constexpr std::int32_t kMax = 0x7FFFFFFF;

// Fixed aspect compares whole percents and anchors at the top-left corner; actual size clamps the
// pan offsets and writes them back (they are the corner); fit to window fills the client area.
// Nothing is drawn for an empty picture, nor for an empty client area in fixed aspect.
TEST(ViewGeometry, EachModePaintsWhereItShould) {
    const struct {
        ViewMode mode;
        std::int64_t width, height, clientWidth, clientHeight;
        std::int32_t panX, panY;
        ViewRect to;
    } cases[] = {
        {ViewMode::kFixedAspect, 1024, 768, 800, 700, 0, 0, {0, 0, 800, 600}},  // P 133 > Q 114
        {ViewMode::kFixedAspect, 1024, 768, 798, 600, 0, 0, {0, 0, 798, 598}},  // P = Q
        {ViewMode::kFixedAspect, 1024, 768, 960, 480, 0, 0, {0, 0, 640, 480}},  // P < Q
        {ViewMode::kFixedAspect, 1, 1000, 5, 1000, 0, 0, {0, 0, 1, 1000}},      // P = Q = 0: inside
        {ViewMode::kFixedAspect, kMax, 1, 30000, 30000, 0, 0, {0, 0, 30000, 0}},
        {ViewMode::kActualSize, 1024, 768, 600, 400, -500, 0, {-424, 0, 600, 768}},
        {ViewMode::kActualSize, 1024, 768, 600, 400, -414, 0, {-414, 0, 610, 768}},
        {ViewMode::kActualSize, 1024, 768, 600, 400, 25, -1000, {0, -368, 1024, 400}},
        {ViewMode::kActualSize, 320, 240, 600, 400, -50, -50, {0, 0, 320, 240}},
        {ViewMode::kActualSize, kMax, 1, 100, 100, -kMax, 0, {100 - kMax, 0, 100, 1}},
        {ViewMode::kFitToWindow, 1024, 768, 333, 77, 5, 5, {0, 0, 333, 77}},
    };
    for (const auto& c : cases) {
        std::int32_t x = c.panX, y = c.panY;
        ViewRect to;
        EXPECT_TRUE(
            DestinationRect(c.mode, c.width, c.height, c.clientWidth, c.clientHeight, &x, &y, &to));
        EXPECT_EQ(c.to, to) << c.width << " x " << c.height << " in " << c.clientWidth;
        if (c.mode == ViewMode::kActualSize) EXPECT_EQ(std::pair(x, y), std::pair(to.left, to.top));

        const bool drawn = c.mode != ViewMode::kFixedAspect;
        EXPECT_FALSE(DestinationRect(c.mode, 0, 768, 800, 600, &x, &y, &to));
        EXPECT_FALSE(DestinationRect(c.mode, 1024, 0, 800, 600, &x, &y, &to));
        EXPECT_FALSE(DestinationRect(c.mode, 1024, -768, 800, 600, &x, &y, &to));
        EXPECT_EQ(drawn, DestinationRect(c.mode, 1024, 768, 0, 600, &x, &y, &to));
        EXPECT_EQ(drawn, DestinationRect(c.mode, 1024, 768, 800, 0, &x, &y, &to));
    }
}

}  // namespace
}  // namespace telvo
