// The scaling of the view against a plain double-precision reference: the exact area integral
// along an axis that shrinks, the pixel under the centre along one that grows. Row padding is
// poisoned under AddressSanitizer, so a read or write past the end of a row fails the test.
#include "viewer/display/BoxScale.h"

#include <gtest/gtest.h>

#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else  // MinGW: no sanitizers
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "tests/AreaReference.h"

namespace telvo {
namespace {

constexpr std::size_t kPadding = 5;

// Rows with padding bytes after each row that nobody may touch.
struct Picture {
    Picture(std::uint32_t width, std::uint32_t height)
        : width(width),
          height(height),
          stride(3 * std::size_t{width} + kPadding),
          bytes(stride * height) {
        for (std::size_t y = 0; y < height; ++y) {
            ASAN_POISON_MEMORY_REGION(bytes.data() + y * stride + 3 * std::size_t{width}, kPadding);
        }
    }
    ~Picture() { ASAN_UNPOISON_MEMORY_REGION(bytes.data(), bytes.size()); }
    std::uint8_t& at(std::uint32_t x, std::uint32_t y, int c) {
        return bytes[y * stride + 3 * std::size_t{x} + c];
    }
    SourceRows source() const { return {bytes.data(), width, height, stride}; }
    TargetRows target() { return {bytes.data(), width, height, stride}; }

    std::uint32_t width;
    std::uint32_t height;
    std::size_t stride;
    std::vector<std::uint8_t> bytes;
};

// The largest difference between BoxScale's result and the reference, over every channel.
double WorstError(const Picture& source, std::uint32_t width, std::uint32_t height) {
    Picture target(width, height);
    EXPECT_TRUE(BoxScale(source.source(), target.target()));
    const test::AreaReference reference(source.source(), width, height);
    double worst = 0;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                worst = std::max(worst, std::abs(target.at(x, y, c) - reference.at(x, y, c)));
            }
        }
    }
    return worst;
}

TEST(BoxScale, MatchesTheAreaIntegralWithinOneOnRandomPicturesAndEdgeSizes) {
    std::mt19937 random(15);
    auto randomPicture = [&](std::uint32_t width, std::uint32_t height) {
        Picture picture(width, height);
        for (std::uint32_t y = 0; y < height; ++y) {
            for (std::uint32_t x = 0; x < width; ++x) {
                for (int c = 0; c < 3; ++c) picture.at(x, y, c) = random() & 0xFF;
            }
        }
        return picture;
    };
    for (int round = 0; round < 40; ++round) {
        const std::uint32_t width = 1 + random() % 300;
        const std::uint32_t height = 1 + random() % 300;
        const std::uint32_t toWidth = 1 + random() % 300;
        const std::uint32_t toHeight = 1 + random() % 300;
        Picture source = randomPicture(width, height);
        EXPECT_LE(WorstError(source, toWidth, toHeight), 1.0)
            << width << " x " << height << " -> " << toWidth << " x " << toHeight;
    }
    const struct {
        std::uint32_t width, height, toWidth, toHeight;
    } edges[] = {{1, 1, 1, 1},
                 {1, 1, 7, 5},
                 {3, 2, 2, 1},
                 {3, 2, 1, 2},
                 {3, 2, 3, 2},
                 {4000, 60, 749, 11},
                 {4000, 60, 1, 60},
                 {60, 3000, 17, 851},
                 {60, 3000, 60, 1},
                 {1920, 1080, 1, 1},
                 {1920, 1080, 749, 421},
                 {1920, 1080, 960, 540},
                 {1920, 1080, 2000, 300},
                 {1, 1, 1920, 1080}};
    for (const auto& edge : edges) {
        Picture source = randomPicture(edge.width, edge.height);
        EXPECT_LE(WorstError(source, edge.toWidth, edge.toHeight), 1.0)
            << edge.width << " x " << edge.height << " -> " << edge.toWidth << " x "
            << edge.toHeight;
    }

    // Extremes: a channel full on stays 255, one bright pixel in a dark channel averages to 0.
    Picture white(1920, 1080);
    for (std::uint32_t y = 0; y < 1080; ++y) {
        for (std::uint32_t x = 0; x < 1920; ++x) white.at(x, y, 0) = white.at(x, y, 1) = 255;
    }
    white.at(5, 5, 2) = 255;
    Picture one(1, 1);
    ASSERT_TRUE(BoxScale(white.source(), one.target()));
    EXPECT_EQ(255, one.at(0, 0, 0));
    EXPECT_EQ(0, one.at(0, 0, 2));
}

TEST(BoxScale, RefusesEmptyOversizedAndShortRows) {
    Picture source(4, 4);
    Picture target(2, 2);
    const SourceRows good = source.source();
    EXPECT_TRUE(BoxScale(good, target.target()));
    for (auto bad : {SourceRows{good.bytes, 0, 4, good.stride}, SourceRows{good.bytes, 4, 0, 12},
                     SourceRows{good.bytes, 4, 4, 11},
                     SourceRows{good.bytes, kMaxScaleSide + 1, 1, 3 * (kMaxScaleSide + 1)}}) {
        EXPECT_FALSE(BoxScale(bad, target.target()));
    }
    EXPECT_FALSE(BoxScale(good, TargetRows{target.bytes.data(), 2, 2, 5}));
    EXPECT_FALSE(BoxScale(good, TargetRows{target.bytes.data(), kMaxScaleSide + 1, 1, 1u << 20}));
}

}  // namespace
}  // namespace telvo
