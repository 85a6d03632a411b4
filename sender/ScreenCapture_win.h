// CaptureScreenArea takes one picture of a rectangle of the screen with the mouse pointer drawn in,
// as a ScreenBitmap.
#pragma once

#include <windows.h>

#include "sender/CaptureSurface_win.h"

namespace telvo {

// Captures `area` of the virtual desktop (screen coordinates: the primary screen's top-left corner
// is 0, 0; other monitors may lie at negative ones) into `surface`, fitted to the area's size (made
// anew only when that changes), with one BitBlt: surface.picture() is then a 24-bit bottom-up
// bitmap file image of the area, surface.length() bytes, with zero row padding. False on any
// failure. The pointer is drawn at its own size with its hotspot at its place in the area; a
// pointer that cannot be drawn is drawn as the standard arrow, and never costs the picture.
[[nodiscard]] bool CaptureScreenArea(const RECT& area, CaptureSurface& surface);

}  // namespace telvo
