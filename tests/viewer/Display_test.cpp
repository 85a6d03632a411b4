// The view's portable parts: where each view mode paints, how the frame follows the picture until
// it rests, and the scaling against the double-precision reference.
#include <gtest/gtest.h>

#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else  // MinGW: no sanitizers
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "tests/AreaReference.h"
#include "viewer/display/BoxScale.h"
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

// Rows with 5 bytes after each, poisoned under AddressSanitizer. With a generator: blue at
// random, green full on (must stay exactly 255), red dark with rare bright pixels (averages to 0).
struct Picture {
    Picture(std::uint32_t width, std::uint32_t height, std::mt19937* random = nullptr)
        : rows{nullptr, width, height, 3 * std::size_t{width} + 5}, bytes(rows.stride * height) {
        rows.bytes = bytes.data();
        for (std::size_t k = 0; random != nullptr && k < bytes.size(); ++k) {
            const std::uint32_t r = (*random)();
            bytes[k] = k % rows.stride % 3 == 0                     ? r
                       : k % rows.stride % 3 == 1 || r % 40000 == 0 ? 255
                                                                    : 0;
        }
        for (auto y = 0u; y < height; ++y)
            ASAN_POISON_MEMORY_REGION(&bytes[(y + 1) * rows.stride - 5], 5);
    }
    ~Picture() { ASAN_UNPOISON_MEMORY_REGION(bytes.data(), bytes.size()); }
    SourceRows source() const { return {rows.bytes, rows.width, rows.height, rows.stride}; }

    TargetRows rows;
    std::vector<std::uint8_t> bytes;
};

TEST(BoxScale, MatchesTheReferenceOnRandomPicturesAndEdgeSizesAndRefusesBadRows) {
    // Source width and height, target width and height; then random ones.
    std::vector<std::uint32_t> sides = {
        1,     1,    1,   1,   1,    1,     7,    5,   1, 1, 1920, 1080,  //
        3,     2,    2,   1,   3,    2,     1,    2,   3, 2, 3,    2,     //
        4000,  60,   749, 11,  4000, 60,    1,    60,                     //
        60,    3000, 17,  851, 60,   3000,  60,   1,                      //
        1920,  1080, 1,   1,   1920, 1080,  749,  421,                    //
        1920,  1080, 960, 540, 1920, 1080,  2000, 300,                    //
        70000, 3,    9,   2,   2,    70000, 1,    11,  // sources above the targets' limit
        65535, 300,  1,   1};                          // totals beyond 32 bits
    std::mt19937 random(15);
    for (int i = 0; i < 160; ++i) sides.push_back(1 + random() % 300);
    for (std::size_t i = 0; i < sides.size(); i += 4) {
        const Picture source(sides[i], sides[i + 1], &random), target(sides[i + 2], sides[i + 3]);
        ASSERT_TRUE(BoxScale(source.source(), target.rows));
        EXPECT_LE(test::WorstError(source.source(), target.rows), 0.6) << i / 4;
    }

    // Refused: no width or height, too large, rows shorter than 3 x width.
    const Picture source(4, 4), target(2, 2);
    const SourceRows s = source.source();
    const TargetRows t = target.rows;
    const std::pair<SourceRows, TargetRows> refused[] = {
        {{s.bytes, 0, 4, 12}, t},
        {{s.bytes, 4, 0, 12}, t},
        {{s.bytes, 4, 4, 11}, t},
        {{s.bytes, kMaxSourceSide + 1, 1, 3 * (kMaxSourceSide + 1)}, t},
        {{s.bytes, 1, kMaxSourceSide + 1, 4}, t},
        {s, {t.bytes, 2, 2, 5}},
        {s, {t.bytes, kMaxScaleSide + 1, 1, 1u << 20}}};
    for (const auto& [from, to] : refused) EXPECT_FALSE(BoxScale(from, to));
}

}  // namespace
}  // namespace telvo
