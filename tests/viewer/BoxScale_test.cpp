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

// The source pixels under target pixel `x` of `to` along an axis of `from` pixels, with weights
// that add up to 1.
std::vector<std::pair<std::uint32_t, double>> Footprint(std::uint32_t x, std::uint32_t from,
                                                        std::uint32_t to) {
    // A centre exactly on a pixel edge takes the pixel after it; in doubles that edge can round.
    if (to >= from)
        return {{static_cast<std::uint32_t>((2 * x + 1) * std::uint64_t{from} / (2 * to)), 1.0}};
    const double step = static_cast<double>(from) / to;
    const double start = x * step;
    const double end = (x + 1) * step;
    std::vector<std::pair<std::uint32_t, double>> pixels;
    for (auto i = static_cast<std::uint32_t>(start); i < end && i < from; ++i) {
        const double covered = std::min(i + 1.0, end) - std::max(double(i), start);
        if (covered > 0) pixels.push_back({i, covered / step});
    }
    return pixels;
}

// The largest difference between BoxScale's result and the reference, over every channel.
double WorstError(Picture& source, std::uint32_t width, std::uint32_t height) {
    Picture target(width, height);
    EXPECT_TRUE(BoxScale(source.source(), target.target()));
    double worst = 0;
    std::vector<std::vector<std::pair<std::uint32_t, double>>> columns;
    for (std::uint32_t x = 0; x < width; ++x) columns.push_back(Footprint(x, source.width, width));
    for (std::uint32_t y = 0; y < height; ++y) {
        const auto rows = Footprint(y, source.height, height);
        for (std::uint32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                double exact = 0;
                for (const auto& [row, rowWeight] : rows) {
                    for (const auto& [column, weight] : columns[x]) {
                        exact += rowWeight * weight * source.at(column, row, c);
                    }
                }
                worst = std::max(worst, std::abs(target.at(x, y, c) - exact));
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
