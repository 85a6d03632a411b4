// The scaling of the view against the double-precision reference.
#include "viewer/display/BoxScale.h"

#include <gtest/gtest.h>

#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else  // MinGW: no sanitizers
#define ASAN_POISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(address, size) ((void)(address), (void)(size))
#endif

#include <random>
#include <vector>

#include "tests/AreaReference.h"

namespace telvo {
namespace {

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
