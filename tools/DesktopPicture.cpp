#include "tools/DesktopPicture.h"

#include "protocol/ScreenBitmap.h"

namespace telvo {
namespace {

struct Canvas {
    std::vector<std::uint8_t>& bytes;
    std::uint32_t width;
    std::uint32_t height;
    std::uint64_t stride;

    // (x, y) from the top-left, as on screen; rows are stored bottom-up.
    void Put(std::uint32_t x, std::uint32_t y, std::uint32_t rgb) {
        if (x >= width || y >= height) return;
        std::uint8_t* p = bytes.data() + kBitmapHeadersSize + (height - 1 - y) * stride + x * 3;
        p[0] = static_cast<std::uint8_t>(rgb);
        p[1] = static_cast<std::uint8_t>(rgb >> 8);
        p[2] = static_cast<std::uint8_t>(rgb >> 16);
    }
    void Fill(std::uint32_t x0, std::uint32_t y0, std::uint32_t w, std::uint32_t h,
              std::uint32_t rgb) {
        for (std::uint32_t y = y0; y < y0 + h; ++y)
            for (std::uint32_t x = x0; x < x0 + w; ++x) Put(x, y, rgb);
    }
};

std::uint32_t Next(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// The next number below `bound`, or 0 when there is none (pictures a pixel or two wide).
std::uint32_t Below(std::uint32_t& state, std::uint32_t bound) {
    const std::uint32_t next = Next(state);
    return bound == 0 ? 0 : next % bound;
}

std::vector<std::uint8_t> BlankPicture(std::uint32_t width, std::uint32_t height,
                                       std::uint64_t capacity) {
    const std::uint64_t needed = NeededLength(width, height);
    std::vector<std::uint8_t> bytes(capacity > needed ? capacity : needed, 0);
    WriteBitmapHeaders(bytes.data(), width, height);
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> MakeDesktopPicture(std::uint32_t width, std::uint32_t height,
                                             std::uint32_t seed, std::uint64_t capacity) {
    std::vector<std::uint8_t> bytes = BlankPicture(width, height, capacity);
    Canvas canvas{bytes, width, height, RowStride(width)};
    std::uint32_t random = seed * 2654435761u + 1;
    canvas.Fill(0, 0, width, height, 0x3A6EA5);                          // desktop background
    canvas.Fill(0, height - height / 27, width, height / 27, 0x202020);  // task bar
    for (int window = 0; window < 3; ++window) {
        const std::uint32_t x = Below(random, width / 2), y = Below(random, height / 3);
        const std::uint32_t w = width / 3 + Below(random, width / 4);
        const std::uint32_t h = height / 3 + Below(random, height / 3);
        canvas.Fill(x, y, w, h, 0xF0F0F0);
        canvas.Fill(x, y, w, 24, 0x0078D7);
        for (std::uint32_t line = y + 34; line + 10 < y + h; line += 18) {  // text lines
            std::uint32_t cx = x + 8;
            while (cx + 16 < x + w) {
                const std::uint32_t word = 3 + Next(random) % 8;
                for (std::uint32_t c = 0; c < word * 7 && cx + c + 8 < x + w; ++c) {
                    for (std::uint32_t r = 0; r < 10; ++r) {
                        if (Next(random) % 3 == 0) canvas.Put(cx + c, line + r, 0x101010);
                    }
                }
                cx += word * 7 + 6;
            }
        }
    }
    const std::uint32_t px = width * 2 / 3, py = height / 2, pw = width / 4, ph = height / 3;
    for (std::uint32_t y = 0; y < ph; ++y) {  // a photo: smooth colours with grain
        for (std::uint32_t x = 0; x < pw; ++x) {
            const std::uint32_t grain = Next(random) % 12;
            const std::uint32_t r = (x * 255 / pw + grain) & 0xFF,
                                g = (y * 255 / ph + grain) & 0xFF;
            canvas.Put(px + x, py + y, (r << 16) | (g << 8) | ((128 + grain) & 0xFF));
        }
    }
    return bytes;
}

std::vector<std::uint8_t> MakeNoisePicture(std::uint32_t width, std::uint32_t height,
                                           std::uint32_t seed) {
    std::vector<std::uint8_t> bytes = BlankPicture(width, height, 0);
    std::uint32_t random = seed | 1;
    for (std::size_t i = kBitmapHeadersSize; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(Next(random));
    }
    return bytes;
}

}  // namespace telvo
