#include "viewer/display/FrameLayout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace telvo {
namespace {

constexpr MinimumClient kMinimum{136, 39};

// A frame that takes every client size asked of it, but no smaller than its minimum: LayoutFrame
// runs again for each resize, as WM_SIZE makes it. Returns the number of resizes until it rests.
int Settle(ViewMode mode, std::int64_t width, std::int64_t height, std::int64_t* clientWidth,
           std::int64_t* clientHeight, ViewRect* last) {
    for (int resizes = 0; resizes < 10; ++resizes) {
        ViewRect wanted;
        if (!NextFrameLayout(mode, width, height, *clientWidth, *clientHeight, kMinimum, last,
                             &wanted)) {
            return resizes;
        }
        *clientWidth = std::max<std::int64_t>(wanted.right, kMinimum.width);
        *clientHeight = std::max<std::int64_t>(wanted.bottom, kMinimum.height);
    }
    return 10;
}

TEST(FrameLayout, FixedAspectSettlesAt798By600ForA1024By768PictureFrom800By700) {
    ViewRect last;
    ViewRect wanted;
    ASSERT_TRUE(
        NextFrameLayout(ViewMode::kFixedAspect, 1024, 768, 800, 700, kMinimum, &last, &wanted));
    EXPECT_EQ((ViewRect{0, 0, 800, 600}), wanted);  // P = 133 > Q = 114: P' = 75
    ASSERT_TRUE(
        NextFrameLayout(ViewMode::kFixedAspect, 1024, 768, 800, 600, kMinimum, &last, &wanted));
    EXPECT_EQ((ViewRect{0, 0, 798, 600}), wanted);  // Q = 133 >= P: (133 x 600 + 50) / 100
    EXPECT_FALSE(
        NextFrameLayout(ViewMode::kFixedAspect, 1024, 768, 798, 600, kMinimum, &last, &wanted));
    EXPECT_EQ((ViewRect{0, 0, 798, 600}), last);
    // Rounded half up, 1436 would give Q = 132 < P and start a creep; the frame rests at 1437.
    std::int64_t clientWidth = 1920;
    std::int64_t clientHeight = 1080;
    ViewRect fresh;
    EXPECT_EQ(1, Settle(ViewMode::kFixedAspect, 1024, 768, &clientWidth, &clientHeight, &fresh));
    EXPECT_EQ((ViewRect{0, 0, 1437, 1080}), fresh);
    // The user drags the frame back to where it was asked to be before: fitted again all the same.
    EXPECT_TRUE(
        NextFrameLayout(ViewMode::kFixedAspect, 1024, 768, 798, 700, kMinimum, &last, &wanted));
}

TEST(FrameLayout, EachModeAsksForItsOwnRectangle) {
    ViewRect last;
    ViewRect wanted;
    // Too small for the aspect ratio: the minimum tracking size instead.
    ASSERT_TRUE(
        NextFrameLayout(ViewMode::kFixedAspect, 20, 400, 300, 300, kMinimum, &last, &wanted));
    EXPECT_EQ((ViewRect{0, 0, 136, 300}), wanted);
    // Actual size shrinks only the sides larger than the picture.
    last = {};
    ASSERT_TRUE(
        NextFrameLayout(ViewMode::kActualSize, 640, 480, 1000, 300, kMinimum, &last, &wanted));
    EXPECT_EQ((ViewRect{0, 0, 640, 300}), wanted);
    EXPECT_FALSE(
        NextFrameLayout(ViewMode::kActualSize, 640, 480, 640, 300, kMinimum, &last, &wanted));
    // Fit to window and no picture: nothing.
    EXPECT_FALSE(
        NextFrameLayout(ViewMode::kFitToWindow, 640, 480, 1000, 300, kMinimum, &last, &wanted));
    EXPECT_FALSE(
        NextFrameLayout(ViewMode::kFixedAspect, 0, 0, 1000, 300, kMinimum, &last, &wanted));
    // A fixed-aspect client area of zero height is left as it is (the minimum still applies).
    last = {};
    ASSERT_TRUE(
        NextFrameLayout(ViewMode::kFixedAspect, 640, 480, 500, 0, kMinimum, &last, &wanted));
    EXPECT_EQ((ViewRect{0, 0, 500, 0}), wanted);
}

// Every shape a received picture can claim (width and height from 1 up to what 128 MiB holds,
// and beyond), from client areas of every kind: the frame rests after a few resizes, and neither
// the layout nor the paint arithmetic overflows or divides by zero (run under UBSan).
TEST(FrameLayout, EveryPictureShapeSettlesWithinAFewResizes) {
    const std::int64_t sizes[] = {1,
                                  2,
                                  3,
                                  7,
                                  100,
                                  768,
                                  1000,
                                  1024,
                                  4000,
                                  65535,
                                  1 << 20,
                                  44739242,
                                  std::numeric_limits<std::int32_t>::max()};
    const std::int64_t clients[][2] = {{800, 700},   {1, 1},     {0, 0},    {136, 39},
                                       {1920, 1080}, {5000, 30}, {30, 5000}};
    for (const ViewMode mode : {ViewMode::kFixedAspect, ViewMode::kActualSize}) {
        for (const std::int64_t width : sizes) {
            for (const std::int64_t height : sizes) {
                for (const auto& client : clients) {
                    std::int64_t clientWidth = client[0];
                    std::int64_t clientHeight = client[1];
                    ViewRect last;
                    const int resizes =
                        Settle(mode, width, height, &clientWidth, &clientHeight, &last);
                    EXPECT_LE(resizes, 3)
                        << width << " x " << height << " from " << client[0] << " x " << client[1];
                    // A picture arrives for the rested frame: nothing more to do.
                    EXPECT_EQ(0, Settle(mode, width, height, &clientWidth, &clientHeight, &last));

                    std::int32_t panX = -5;
                    std::int32_t panY = -5;
                    ViewRect to;
                    for (const ViewMode paintMode :
                         {ViewMode::kFixedAspect, ViewMode::kActualSize, ViewMode::kFitToWindow}) {
                        if (DestinationRect(paintMode, width, height, clientWidth, clientHeight,
                                            &panX, &panY, &to)) {
                            EXPECT_LE(to.left, to.right);
                            EXPECT_LE(to.top, to.bottom);
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace telvo
