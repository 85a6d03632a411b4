// Made-up screen pictures for demos, tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace telvo {

// A ScreenBitmap that looks like a desktop: a plain background, windows with title bars, lines of
// "text" and a photo-like area. `capacity` (at least the needed length) pads it with zeros.
std::vector<std::uint8_t> MakeDesktopPicture(std::uint32_t width, std::uint32_t height,
                                             std::uint32_t seed, std::uint64_t capacity = 0);

// A ScreenBitmap of pseudo-random pixels, which zlib cannot make smaller.
std::vector<std::uint8_t> MakeNoisePicture(std::uint32_t width, std::uint32_t height,
                                           std::uint32_t seed);

}  // namespace telvo
