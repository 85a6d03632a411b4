// Where each view mode paints, and how the frame follows the picture until it rests.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "viewer/display/FrameLayout.h"
#include "viewer/display/ViewGeometry.h"

namespace telvo {
namespace {

// Fixed aspect compares whole percents and anchors at the top-left corner; actual size clamps the
// pan offsets and writes them back (they are the corner); fit to window fills the client area.
// Nothing is drawn for an empty picture.
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
        {ViewMode::kActualSize, 1024, 768, 600, 400, -500, 0, {-424, 0, 600, 768}},
        {ViewMode::kActualSize, 1024, 768, 600, 400, -414, 0, {-414, 0, 610, 768}},
        {ViewMode::kActualSize, 1024, 768, 600, 400, 25, -1000, {0, -368, 1024, 400}},
        {ViewMode::kActualSize, 320, 240, 600, 400, -50, -50, {0, 0, 320, 240}},
        {ViewMode::kFitToWindow, 1024, 768, 333, 77, 5, 5, {0, 0, 333, 77}},
    };
    for (const auto& c : cases) {
        std::int32_t x = c.panX, y = c.panY;
        ViewRect to;
        EXPECT_TRUE(
            DestinationRect(c.mode, c.width, c.height, c.clientWidth, c.clientHeight, &x, &y, &to));
        EXPECT_EQ(c.to, to) << c.width << " x " << c.height << " in " << c.clientWidth;
        if (c.mode == ViewMode::kActualSize) EXPECT_EQ(std::pair(x, y), std::pair(to.left, to.top));
        EXPECT_FALSE(DestinationRect(c.mode, 0, 768, 800, 600, &x, &y, &to));
    }
}

constexpr MinimumClient kMinimum{136, 39};

TEST(FrameLayout, EachModeFitsTheFrameUntilItRests) {
    const struct {
        ViewMode mode;
        std::int64_t width, height, client[2];
        int resizes;
        std::int64_t rest[2];
        ViewRect last;  // where the frame rested before
    } cases[] = {
        {ViewMode::kFixedAspect, 1024, 768, {800, 700}, 2, {798, 600}},      // by 800 x 600
        {ViewMode::kFixedAspect, 1024, 768, {1920, 1080}, 1, {1437, 1080}},  // 1436: creeps
        {ViewMode::kFixedAspect, 20, 400, {300, 300}, 1, {136, 300}},        // narrow: the minimum
        {ViewMode::kFixedAspect, 640, 480, {500, 0}, 2, {136, 39}},          // no height: as it is
        {ViewMode::kActualSize, 640, 480, {1000, 300}, 1, {640, 300}},
        // Dragged off the aspect: fitted back, though that size was asked for before.
        {ViewMode::kFixedAspect, 1000, 1000, {600, 500}, 1, {500, 500}, {0, 0, 500, 500}},
    };
    // The frame takes every client size asked of it, no smaller than its minimum, until it rests.
    for (const auto& c : cases) {
        std::int64_t width = c.client[0], height = c.client[1];
        ViewRect last = c.last, wanted;
        int resizes = 0;
        for (; resizes < 10 &&
               NextFrameLayout(c.mode, c.width, c.height, width, height, kMinimum, &last, &wanted);
             ++resizes) {
            width = std::max<std::int64_t>(wanted.right, kMinimum.width);
            height = std::max<std::int64_t>(wanted.bottom, kMinimum.height);
        }
        EXPECT_EQ(c.resizes, resizes) << c.width;
        EXPECT_EQ(std::pair(c.rest[0], c.rest[1]), std::pair(width, height)) << c.width;
    }
}

}  // namespace
}  // namespace telvo
