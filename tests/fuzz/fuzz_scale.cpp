// Scales pictures of arbitrary sizes and contents as the view does, against the reference. Input:
// four 16-bit little-endian sides (source, then target; each modulo 1024, plus 1), then the pixel
// bytes, repeated to fill the source. Rows are unpadded in buffers of exactly their size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/AreaReference.h"
#include "viewer/display/BoxScale.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvo;
    if (size < 8) return 0;
    std::uint32_t sides[4];
    for (int i = 0; i < 4; ++i) sides[i] = 1 + (data[2 * i] | data[2 * i + 1] << 8) % 1024;
    // Keeps the reference, whose cost grows with both pictures, quick.
    if (sides[0] * sides[1] > 1u << 16 || sides[2] * sides[3] > 1u << 16) return 0;
    std::vector<std::uint8_t> source(std::size_t{3} * sides[0] * sides[1]);
    for (std::size_t i = 0; i < source.size() && size > 8; ++i)
        source[i] = data[8 + i % (size - 8)];
    std::vector<std::uint8_t> target(std::size_t{3} * sides[2] * sides[3]);
    const SourceRows from{source.data(), sides[0], sides[1], std::size_t{3} * sides[0]};
    const TargetRows to{target.data(), sides[2], sides[3], std::size_t{3} * sides[2]};
    if (!BoxScale(from, to) || test::WorstError(from, to) > 1.0) __builtin_trap();
    return 0;
}
