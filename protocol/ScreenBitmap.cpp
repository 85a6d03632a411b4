#include "protocol/ScreenBitmap.h"

namespace telvo {
namespace {

void PutLittle16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLittle32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint16_t ReadLittle16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

std::uint64_t RowStride(std::uint32_t width) {
    return (std::uint64_t{width} * 3 + 3) & ~std::uint64_t{3};
}

std::uint64_t NeededLength(std::uint32_t width, std::uint32_t height) {
    return kBitmapHeadersSize + RowStride(width) * height;
}

std::uint32_t ReadLittle32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

void WriteBitmapHeaders(std::uint8_t* buffer, std::uint32_t width, std::uint32_t height) {
    const auto imageSize = static_cast<std::uint32_t>(RowStride(width) * height);
    std::uint8_t* info = buffer + kInfoHeaderOffset;
    PutLittle32(info + 0, kBitmapInfoHeaderSize);
    PutLittle32(info + 4, width);
    PutLittle32(info + 8, height);
    PutLittle16(info + 12, 1);   // planes
    PutLittle16(info + 14, 24);  // bits per pixel
    PutLittle32(info + 16, 0);   // uncompressed RGB
    PutLittle32(info + 20, imageSize);
    PutLittle32(info + 24, 0);
    PutLittle32(info + 28, 0);
    PutLittle32(info + 32, 0);
    PutLittle32(info + 36, 0);

    buffer[0] = 'B';
    buffer[1] = 'M';
    PutLittle32(buffer + 2, kBitmapHeadersSize + imageSize);
    PutLittle16(buffer + 6, 0);
    PutLittle16(buffer + 8, 0);
    PutLittle32(buffer + kPixelOffsetField, kBitmapHeadersSize);
}

bool DescribeBitmap(const std::uint8_t* bytes, std::size_t size, BitmapLayout* layout) {
    if (bytes == nullptr || size < kBitmapHeadersSize) return false;
    const std::uint8_t* info = bytes + kInfoHeaderOffset;
    const std::uint32_t pixelOffset = ReadLittle32(bytes + kPixelOffsetField);
    const auto width = static_cast<std::int32_t>(ReadLittle32(info + 4));
    const auto height = static_cast<std::int32_t>(ReadLittle32(info + 8));
    if (ReadLittle32(info) != kBitmapInfoHeaderSize || ReadLittle16(info + 12) != 1 ||
        ReadLittle16(info + 14) != 24 || ReadLittle32(info + 16) != 0 ||
        ReadLittle32(info + 32) != 0) {
        return false;
    }
    if (width <= 0 || height <= 0 || pixelOffset < kBitmapHeadersSize) return false;
    const std::uint64_t stride = RowStride(static_cast<std::uint32_t>(width));
    const std::uint64_t end =
        std::uint64_t{pixelOffset} + stride * static_cast<std::uint32_t>(height);
    if (end > size) return false;
    layout->width = static_cast<std::uint32_t>(width);
    layout->height = static_cast<std::uint32_t>(height);
    layout->pixelOffset = pixelOffset;
    layout->stride = static_cast<std::uint32_t>(stride);
    return true;
}

}  // namespace telvo
