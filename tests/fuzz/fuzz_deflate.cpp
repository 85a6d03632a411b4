// Differential: a ParallelDeflate on two threads that keeps chunks from picture to picture against
// a fresh one on one thread, over a series of pictures each made from the one before. The input is
// a series of 4-byte steps (a, b, c, d): d 0 compresses the picture as it stands; a 255 gives the
// picture a new length from b and c; any other step writes d over d % 16 + 1 bytes near the start
// of chunk a % 4 (b and c, signed, are the distance), where a chunk's dictionary lies. Both must
// give the same stream, byte for byte, or fail alike.
#include <vector>

#include "sender/ParallelDeflate.h"

namespace {

std::size_t LengthFrom(std::uint8_t b, std::uint8_t c) {
    return telvo::kDeflateChunk + ((std::size_t{b} << 8 | c) * 7) % (3 * telvo::kDeflateChunk);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvo;
    std::vector<std::uint8_t> picture(size >= 2 ? LengthFrom(data[0], data[1]) : kDeflateChunk + 1);
    const auto paint = [&picture] {
        for (std::size_t i = 0; i < picture.size(); ++i)
            picture[i] = static_cast<std::uint8_t>(i / 5);
    };
    paint();
    ParallelDeflate keeping(2);
    for (std::size_t at = 2; at + 4 <= size; at += 4) {
        const std::uint8_t a = data[at], b = data[at + 1], c = data[at + 2], d = data[at + 3];
        if (d == 0) {
            ParallelDeflate fresh(1);
            const int kept = keeping.Compress(picture.data(), picture.size(), picture.size());
            if (kept != fresh.Compress(picture.data(), picture.size(), picture.size())) {
                __builtin_trap();
            }
            if (kept == 0 &&
                std::vector(keeping.output(), keeping.output() + keeping.outputLength()) !=
                    std::vector(fresh.output(), fresh.output() + fresh.outputLength())) {
                __builtin_trap();
            }
        } else if (a == 255) {
            picture.resize(LengthFrom(b, c), d);
        } else if (a == 254) {
            paint();
        } else {
            const auto distance = static_cast<std::int16_t>(b << 8 | c) / 16;
            const std::size_t place = (a % 4 + 1) * kDeflateChunk + distance;
            for (std::size_t i = place; i < picture.size() && i <= place + d % 16; ++i)
                picture[i] = d;
        }
    }
    return 0;
}
