#include "viewer/display/FrameLayout.h"

#include <algorithm>

namespace telvo {

bool NextFrameLayout(ViewMode mode, std::int64_t width, std::int64_t height,
                     std::int64_t clientWidth, std::int64_t clientHeight, MinimumClient minimum,
                     ViewRect* lastLayoutRect, ViewRect* wanted) {
    if (width <= 0 || height <= 0 || mode == ViewMode::kFitToWindow) return false;
    clientWidth = std::max<std::int64_t>(clientWidth, 0);
    clientHeight = std::max<std::int64_t>(clientHeight, 0);
    std::int64_t newWidth = clientWidth;
    std::int64_t newHeight = clientHeight;
    bool corrected = false;
    if (mode == ViewMode::kFixedAspect && clientWidth > 0 && clientHeight > 0) {
        const std::int64_t pictureRatio = (100 * width) / height;
        const std::int64_t clientRatio = (100 * clientWidth) / clientHeight;
        if (clientRatio >= pictureRatio) {
            newWidth = (pictureRatio * clientHeight + 50) / 100;
            // NOTE: rounded down, the width can make the client ratio fall below the picture's;
            // the next run would then lower the height, then the width again, and so on: the frame
            // would creep smaller with every picture. Rounded up it keeps the client ratio.
            if ((100 * newWidth) / clientHeight < pictureRatio) {
                newWidth = (pictureRatio * clientHeight + 99) / 100;
            }
        } else {
            const std::int64_t inverseRatio = (100 * height) / width;
            newHeight = (inverseRatio * clientWidth + 50) / 100;
        }
        corrected = newWidth != clientWidth || newHeight != clientHeight;
        newWidth = std::max(newWidth, minimum.width);
        newHeight = std::max(newHeight, minimum.height);
        // NOTE: a correction that the minimum undoes (a picture too narrow or too low for the
        // smallest frame) leaves the client area as it is; forcing a resize to the same size
        // again would make every run resize, and a wrapped menu bar then shrinks the frame on
        // every run.
        corrected = corrected && (newWidth != clientWidth || newHeight != clientHeight);
    } else if (mode == ViewMode::kActualSize) {
        newWidth = std::min(clientWidth, width);
        newHeight = std::min(clientHeight, height);
    }
    *wanted = {0, 0, ClampToCoordinate(newWidth), ClampToCoordinate(newHeight)};
    if (corrected) *lastLayoutRect = ViewRect{};
    if (*wanted == *lastLayoutRect) return false;
    *lastLayoutRect = *wanted;
    return true;
}

}  // namespace telvo
