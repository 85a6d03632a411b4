#include "viewer/display/ViewGeometry.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace telvo {
namespace {

ViewRect Paint(ViewMode mode, std::int64_t width, std::int64_t height, std::int64_t clientWidth,
               std::int64_t clientHeight, std::int32_t* panX = nullptr,
               std::int32_t* panY = nullptr) {
    std::int32_t x = panX ? *panX : 0;
    std::int32_t y = panY ? *panY : 0;
    ViewRect to{-1, -1, -1, -1};
    EXPECT_TRUE(DestinationRect(mode, width, height, clientWidth, clientHeight, &x, &y, &to));
    if (panX) *panX = x;
    if (panY) *panY = y;
    return to;
}

TEST(ViewGeometry, FixedAspectComparesWholePercentsAndAnchorsTopLeft) {
    // P = 133 > Q = 114: full width, height from the width.
    EXPECT_EQ((ViewRect{0, 0, 800, 600}), Paint(ViewMode::kFixedAspect, 1024, 768, 800, 700));
    // P = Q = 133 takes the second branch too.
    EXPECT_EQ((ViewRect{0, 0, 798, 598}), Paint(ViewMode::kFixedAspect, 1024, 768, 798, 600));
    // P = 133 < Q = 200: full height, width from the height.
    EXPECT_EQ((ViewRect{0, 0, 640, 480}), Paint(ViewMode::kFixedAspect, 1024, 768, 960, 480));
    EXPECT_EQ((ViewRect{0, 0, 960, 540}), Paint(ViewMode::kFixedAspect, 1920, 1080, 960, 540));
    // P = Q = 0 for a picture and a window both narrower than 1 %: the picture stays inside.
    EXPECT_EQ((ViewRect{0, 0, 1, 1000}), Paint(ViewMode::kFixedAspect, 1, 1000, 5, 1000));
}

TEST(ViewGeometry, ActualSizeClampsThePanAndWritesItBack) {
    std::int32_t x = -500;
    std::int32_t y = 0;
    EXPECT_EQ((ViewRect{-424, 0, 600, 768}),
              Paint(ViewMode::kActualSize, 1024, 768, 600, 400, &x, &y));
    EXPECT_EQ(-424, x);
    x += 10;  // a drag of 10 pixels to the right
    Paint(ViewMode::kActualSize, 1024, 768, 600, 400, &x, &y);
    EXPECT_EQ(-414, x);

    x = 25;  // never right of the left edge
    y = -1000;
    EXPECT_EQ((ViewRect{0, -368, 1024, 400}),
              Paint(ViewMode::kActualSize, 1024, 768, 600, 400, &x, &y));
    EXPECT_EQ(0, x);
    EXPECT_EQ(-368, y);

    x = -50;  // a picture narrower than the window sits at its left edge
    y = -50;
    EXPECT_EQ((ViewRect{0, 0, 320, 240}), Paint(ViewMode::kActualSize, 320, 240, 600, 400, &x, &y));
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
}

TEST(ViewGeometry, FitToWindowIsTheClientArea) {
    EXPECT_EQ((ViewRect{0, 0, 333, 77}), Paint(ViewMode::kFitToWindow, 1024, 768, 333, 77));
}

TEST(ViewGeometry, NothingIsDrawnForEmptySizesAndNoClaimOverflows) {
    std::int32_t x = 0;
    std::int32_t y = 0;
    ViewRect to;
    for (const ViewMode mode :
         {ViewMode::kFixedAspect, ViewMode::kActualSize, ViewMode::kFitToWindow}) {
        EXPECT_FALSE(DestinationRect(mode, 0, 768, 800, 600, &x, &y, &to));
        EXPECT_FALSE(DestinationRect(mode, 1024, 0, 800, 600, &x, &y, &to));
        EXPECT_FALSE(DestinationRect(mode, 1024, -768, 800, 600, &x, &y, &to));
    }
    EXPECT_FALSE(DestinationRect(ViewMode::kFixedAspect, 1024, 768, 0, 600, &x, &y, &to));
    EXPECT_FALSE(DestinationRect(ViewMode::kFixedAspect, 1024, 768, 800, 0, &x, &y, &to));
    EXPECT_TRUE(DestinationRect(ViewMode::kActualSize, 1024, 768, 0, 0, &x, &y, &to));

    // The largest sizes a header can claim: 100 x W and W x CH stay in range, results are
    // limited to 32-bit coordinates.
    const std::int64_t huge = 0x7FFFFFFF;
    EXPECT_EQ((ViewRect{0, 0, 1, 0x7FFFFFFF}),
              Paint(ViewMode::kFixedAspect, 1, huge, 1, 0x7FFFFFFF));
    EXPECT_EQ((ViewRect{0, 0, 30000, 0}), Paint(ViewMode::kFixedAspect, huge, 1, 30000, 30000));
    x = -0x7FFFFFFF;
    y = 0;
    const ViewRect far = Paint(ViewMode::kActualSize, huge, 1, 100, 100, &x, &y);
    EXPECT_EQ(100 - huge, x);
    EXPECT_EQ(100, far.right);
}

}  // namespace
}  // namespace telvo
