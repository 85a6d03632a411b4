// Feeds arbitrary picture and window sizes to the view's geometry: where each view mode paints,
// and how the frame follows the picture until it rests. Sizes come from the network (a picture's
// 32-bit fields) and from the window manager (never negative); UBSan reports any overflow.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "viewer/display/FrameLayout.h"
#include "viewer/display/ViewGeometry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvo;
    std::int64_t in[6] = {};  // picture width and height, client width and height, pan offsets
    std::memcpy(in, data, std::min(size, sizeof in));
    const std::int64_t width = in[0] & 0xFFFFFFFF, height = in[1] & 0xFFFFFFFF;
    const std::int64_t clientWidth = in[2] & 0x7FFFFFFF, clientHeight = in[3] & 0x7FFFFFFF;
    for (const ViewMode mode :
         {ViewMode::kFixedAspect, ViewMode::kActualSize, ViewMode::kFitToWindow}) {
        auto x = static_cast<std::int32_t>(in[4]), y = static_cast<std::int32_t>(in[5]);
        ViewRect to, last, wanted;
        if (!DestinationRect(mode, width, height, clientWidth, clientHeight, &x, &y, &to)) continue;
        // Fixed aspect is anchored at the top-left corner, inside the client area; actual size
        // never pans right of or below it.
        const bool outside =
            to.left != 0 || to.top != 0 || to.right > clientWidth || to.bottom > clientHeight;
        if (to.right < to.left || to.bottom < to.top ||
            (mode == ViewMode::kFixedAspect && outside) ||
            (mode == ViewMode::kActualSize && (x > 0 || y > 0))) {
            __builtin_trap();
        }
        // The frame takes each size asked of it, no smaller than its minimum, and soon rests.
        const MinimumClient minimum{in[4] & 0xFFF, in[5] & 0xFFF};
        std::int64_t w = clientWidth, h = clientHeight;
        for (int resizes = 0; NextFrameLayout(mode, width, height, w, h, minimum, &last, &wanted);
             ++resizes) {
            if (resizes == 3) __builtin_trap();
            w = std::max<std::int64_t>(wanted.right, minimum.width);
            h = std::max<std::int64_t>(wanted.bottom, minimum.height);
        }
    }
    return 0;
}
