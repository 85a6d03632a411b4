// Scales a 24-bit picture to the size the view shows it at, each axis on its own. Along an axis
// that shrinks, every target pixel gets the average of the source pixels it covers, each weighted
// by the covered length (a box filter over the exact footprint). The sums are exact integers and
// are rounded once at the end, so light text on a dark background keeps its brightness instead of
// vanishing. Along an axis that grows or keeps its size, pixels are repeated (sharp edges).
//
// Rows are taken in memory order for both pictures (bottom-up in a DIB, so the bottom rows meet).
// Only the first 3 x width bytes of each row are read or written, never the padding after them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace telvo {

// The largest width or height of the scaled picture: each weight is at most this side and takes 16
// bits.
inline constexpr std::uint32_t kMaxScaleSide = 65535;
// The largest width or height of the source: a column sum of that many rows at full weight stays
// exact in 32 bits (255 x 2^24 < 2^32); every total is exact in 64 bits.
inline constexpr std::uint32_t kMaxSourceSide = 1u << 24;

// `height` rows of `width` blue-green-red pixels, row r starting at bytes + r x stride.
template <typename Byte>
struct PixelRows {
    Byte* bytes = nullptr;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t stride = 0;
};
using SourceRows = PixelRows<const std::uint8_t>;
using TargetRows = PixelRows<std::uint8_t>;

// Fills every pixel of `target` from `source`. The two must not overlap. Returns false, writing
// nothing, when a width or height is 0 or above its limit, or a stride is below 3 x width.
// Any thread; it allocates scratch memory of some tens of bytes per source and target column.
[[nodiscard]] bool BoxScale(const SourceRows& source, const TargetRows& target);

}  // namespace telvo
