#include "viewer/display/FrameLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace telvo {
namespace {

constexpr MinimumClient kMinimum{136, 39};

// A frame that takes every client size asked of it, but no smaller than its minimum: the layout
// runs again for each resize, as WM_SIZE makes it. Returns the number of resizes until it rests.
int Settle(ViewMode mode, std::int64_t width, std::int64_t height, std::int64_t* client,
           ViewRect* last) {
    ViewRect wanted;
    for (int resizes = 0; resizes < 10; ++resizes) {
        if (!NextFrameLayout(mode, width, height, client[0], client[1], kMinimum, last, &wanted)) {
            return resizes;
        }
        client[0] = std::max<std::int64_t>(wanted.right, kMinimum.width);
        client[1] = std::max<std::int64_t>(wanted.bottom, kMinimum.height);
    }
    return 10;
}

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
        {ViewMode::kFixedAspect, 0, 0, {1000, 300}, 0, {1000, 300}},
        {ViewMode::kActualSize, 640, 480, {1000, 300}, 1, {640, 300}},
        {ViewMode::kFitToWindow, 640, 480, {1000, 300}, 0, {1000, 300}},
        // Dragged off the aspect: fitted back, though that size was asked for before.
        {ViewMode::kFixedAspect, 1000, 1000, {600, 500}, 1, {500, 500}, {0, 0, 500, 500}},
    };
    for (const auto& c : cases) {
        std::int64_t client[2] = {c.client[0], c.client[1]};
        ViewRect last = c.last;
        EXPECT_EQ(c.resizes, Settle(c.mode, c.width, c.height, client, &last)) << c.width;
        EXPECT_EQ(std::pair(c.rest[0], c.rest[1]), std::pair(client[0], client[1])) << c.width;
    }
}

}  // namespace
}  // namespace telvo
