// The size of the frame around a view: what the frame's outer rectangle must measure for the
// view to get a client area of a given size.
#pragma once

#include <windows.h>

#include <cstdint>

namespace telvo {

// The outer size of `frame` at which `view`, filling the frame's client area, has a client area of
// `width` x `height`. Counts the view's own edge (none in full screen), the frame's caption,
// sizing frame and menu bar, and the lines a wrapped menu bar takes now beyond the one that
// AdjustWindowRectEx counts. Clamped to 32-bit coordinates.
SIZE FrameSizeAround(HWND frame, HWND view, std::int64_t width, std::int64_t height);

}  // namespace telvo
