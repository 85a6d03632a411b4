// Layout of a ScreenBitmap: a complete Windows bitmap file image in memory, little-endian: a
// 14-byte file header, a 40-byte info header, no colour table, then 24-bit pixel rows bottom-up,
// each padded to a multiple of 4 bytes, possibly followed by zero bytes up to the buffer's end.
#pragma once

#include <cstddef>
#include <cstdint>

namespace telvo {

inline constexpr std::uint32_t kBitmapFileHeaderSize = 14;
inline constexpr std::uint32_t kBitmapInfoHeaderSize = 40;
inline constexpr std::uint32_t kBitmapHeadersSize = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;

// Offsets of the fields that the viewer reads from a received picture.
inline constexpr std::size_t kPixelOffsetField = 10;
inline constexpr std::size_t kInfoHeaderOffset = 14;
inline constexpr std::size_t kWidthField = 18;
inline constexpr std::size_t kHeightField = 22;

// The largest picture a viewer accepts. An 8K screen (7680 x 4320, 24 bits) needs 99.5 MB; no
// screen a sender can capture today comes near 128 MiB, so a larger pictureSize can only come
// from a damaged or hostile datagram, and must not make a viewer allocate that much.
inline constexpr std::uint32_t kMaxPictureSize = 128u * 1024 * 1024;

// 3 x width rounded up to a multiple of 4.
std::uint64_t RowStride(std::uint32_t width);

// 54 + stride x height.
std::uint64_t NeededLength(std::uint32_t width, std::uint32_t height);

// Writes both headers of a width x height picture (positive height: bottom-up rows) at the start
// of `buffer`, which holds at least 54 bytes. Leaves every other byte alone.
void WriteBitmapHeaders(std::uint8_t* buffer, std::uint32_t width, std::uint32_t height);

std::uint32_t ReadLittle32(const std::uint8_t* p);

// What a reader needs of a picture, once DescribeBitmap has checked it.
struct BitmapLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t stride = 0;
};

// Checks that a picture of `size` bytes is a 24-bit uncompressed bottom-up bitmap whose pixel rows
// lie wholly inside it (pixel offset at or after the headers, width and height above 0) and fills
// `layout`. A picture that passes can be painted and saved without reading past its end.
[[nodiscard]] bool DescribeBitmap(const std::uint8_t* bytes, std::size_t size,
                                  BitmapLayout* layout);

}  // namespace telvo
