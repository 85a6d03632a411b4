// CaptureWindow takes one picture of a window with the mouse pointer drawn in, as a ScreenBitmap.
#pragma once

#include <windows.h>

#include "base/HeapBlock.h"

namespace telvo {

// Captures `window` (the desktop window for the whole primary screen) into `buffer`: a 24-bit
// bottom-up bitmap file image whose headers describe the window's size. A buffer large enough is
// reused (it never shrinks) and cleared first, so the bytes after the pixel rows are zero; its
// capacity is the picture's length. On any failure the buffer is freed and the result is false.
// The pointer is drawn with its hotspot at its place in the window; a pointer that cannot be drawn
// is drawn as the standard arrow, and never costs the picture.
[[nodiscard]] bool CaptureWindow(HWND window, HeapBlock& buffer);

}  // namespace telvo
