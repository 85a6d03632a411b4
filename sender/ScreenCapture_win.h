// CaptureScreenArea takes one picture of a rectangle of the screen with the mouse pointer drawn in,
// as a ScreenBitmap.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/HeapBlock.h"

namespace telvo {

// Captures `area` of the virtual desktop (screen coordinates: the primary screen's top-left corner
// is 0, 0; other monitors may lie at negative ones) into `buffer`: a 24-bit bottom-up bitmap file
// image of the area's size. A buffer large enough is reused (it never shrinks); the picture is
// cleared first, so row padding is zero. `length` becomes the picture's own length, which
// may be less than the buffer's capacity. On any failure the buffer is freed and the result is
// false. The pointer is drawn at its own size with its hotspot at its place in the area; a pointer
// that cannot be drawn is drawn as the standard arrow, and never costs the picture.
[[nodiscard]] bool CaptureScreenArea(const RECT& area, HeapBlock& buffer, std::uint32_t* length);

}  // namespace telvo
