// Feeds arbitrary picture and window sizes to the view's geometry: where each view mode paints
// and how the frame follows the picture. Sizes come from the network (the picture's headers) and
// from the window manager (never negative); UBSan reports any overflow.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "viewer/display/FrameLayout.h"
#include "viewer/display/ViewGeometry.h"

namespace {

std::int64_t Take(const std::uint8_t*& data, std::size_t& size) {
    std::int64_t value = 0;
    const std::size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvo;
    const std::int64_t width = Take(data, size) & 0xFFFFFFFF;  // a picture's 32-bit fields
    const std::int64_t height = Take(data, size) & 0xFFFFFFFF;
    const std::int64_t clientWidth = Take(data, size) & 0x7FFFFFFF;  // a client rectangle's
    const std::int64_t clientHeight = Take(data, size) & 0x7FFFFFFF;
    const auto panX = static_cast<std::int32_t>(Take(data, size));
    const auto panY = static_cast<std::int32_t>(Take(data, size));

    for (const ViewMode mode :
         {ViewMode::kFixedAspect, ViewMode::kActualSize, ViewMode::kFitToWindow}) {
        std::int32_t x = panX;
        std::int32_t y = panY;
        ViewRect to;
        if (!DestinationRect(mode, width, height, clientWidth, clientHeight, &x, &y, &to)) continue;
        if (to.right < to.left || to.bottom < to.top) __builtin_trap();
        if (mode == ViewMode::kFixedAspect &&
            (to.left != 0 || to.top != 0 || to.right > clientWidth || to.bottom > clientHeight)) {
            __builtin_trap();  // anchored at the top-left corner, inside the client area
        }
        if (mode == ViewMode::kActualSize && (x > 0 || y > 0)) __builtin_trap();

        ViewRect last;
        ViewRect wanted;
        const MinimumClient minimum{panX & 0xFFF, panY & 0xFFF};
        for (int pass = 0; pass < 4; ++pass) {
            if (!NextFrameLayout(mode, width, height, clientWidth, clientHeight, minimum, &last,
                                 &wanted)) {
                break;
            }
        }
    }
    return 0;
}
