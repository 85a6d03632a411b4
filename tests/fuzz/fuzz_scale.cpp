// Scales pictures of arbitrary shapes and contents as the view does, against the reference. Input:
// the source's width and height (24-bit little-endian, modulo 2^20, plus 1), the target's (16-bit,
// modulo 65535, plus 1), then the pixel bytes, repeated to fill the source. Large sides come from
// long thin shapes: a picture's height is lowered until it has at most 2^18 pixels (the target's
// 2^16), and pairs that would make the reference slow are skipped. Rows are unpadded in buffers of
// exactly their size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/AreaReference.h"
#include "viewer/display/BoxScale.h"

namespace {

std::uint32_t Little(const std::uint8_t* data, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | data[i];
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvo;
    constexpr std::size_t kHeader = 10;
    if (size < kHeader) return 0;
    const std::uint32_t sourceWidth = 1 + Little(data, 3) % (1u << 20);
    const std::uint32_t sourceHeight =
        std::min(1 + Little(data + 3, 3) % (1u << 20), std::max(1u, (1u << 18) / sourceWidth));
    const std::uint32_t targetWidth = 1 + Little(data + 6, 2) % 65535;
    const std::uint32_t targetHeight =
        std::min(1 + Little(data + 8, 2) % 65535, std::max(1u, (1u << 16) / targetWidth));
    // The reference visits about this many source pixels per channel.
    const std::uint64_t work =
        (std::uint64_t{sourceWidth} + targetWidth) * (sourceHeight + targetHeight);
    if (work > 1u << 19) return 0;
    std::vector<std::uint8_t> source(std::size_t{3} * sourceWidth * sourceHeight);
    for (std::size_t i = 0; i < source.size() && size > kHeader; ++i)
        source[i] = data[kHeader + i % (size - kHeader)];
    std::vector<std::uint8_t> target(std::size_t{3} * targetWidth * targetHeight);
    const SourceRows from{source.data(), sourceWidth, sourceHeight, std::size_t{3} * sourceWidth};
    const TargetRows to{target.data(), targetWidth, targetHeight, std::size_t{3} * targetWidth};
    if (!BoxScale(from, to) || test::WorstError(from, to) > 0.6) __builtin_trap();
    return 0;
}
