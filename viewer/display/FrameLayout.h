// How the frame follows the picture: the view client rectangle that one run of LayoutFrame asks
// the frame to produce. All arithmetic is 64-bit with divisions that drop the remainder, so no
// width or height a picture can claim overflows or divides by zero; results are clamped to 32-bit
// coordinates.
#pragma once

#include <cstdint>

#include "viewer/display/ViewGeometry.h"
#include "viewer/display/ViewMode.h"

namespace telvo {

// The smallest view client area fixed aspect makes (the system's minimum tracking size).
struct MinimumClient {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// One run of the layout for a `width` x `height` picture (0 x 0: none) in a view client area of
// `clientWidth` x `clientHeight`. Returns true when the frame must be resized so that the view's
// client area becomes `*wanted`; `*lastLayoutRect` is then updated to it.
//  - Fixed aspect: the side that breaks the picture's ratio (compared in whole percent) is
//    recomputed from the other, rounded half up, then raised to `minimum`.
//  - Actual size: a side larger than the picture shrinks to it.
//  - Fit to window, or no picture: nothing to do.
// `*lastLayoutRect` ends the resize feedback loop: a wanted rectangle equal to it is not asked
// for again, unless fixed aspect had to correct the client area (it is emptied then).
bool NextFrameLayout(ViewMode mode, std::int64_t width, std::int64_t height,
                     std::int64_t clientWidth, std::int64_t clientHeight, MinimumClient minimum,
                     ViewRect* lastLayoutRect, ViewRect* wanted);

}  // namespace telvo
