#include "viewer/display/ViewGeometry.h"

#include <algorithm>
#include <limits>

namespace telvo {

std::int32_t ClampToCoordinate(std::int64_t value) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(value, kMin, kMax));
}

ViewRect FixedAspectRect(std::int64_t width, std::int64_t height, std::int64_t clientWidth,
                         std::int64_t clientHeight) {
    const std::int64_t pictureRatio = (100 * width) / height;
    const std::int64_t clientRatio = (100 * clientWidth) / clientHeight;
    const ViewRect fullHeight{0, 0, ClampToCoordinate((width * clientHeight) / height),
                              ClampToCoordinate(clientHeight)};
    if (pictureRatio < clientRatio) return fullHeight;
    // Whole percents may take a picture for wider than the window when both are narrower than
    // 1 %; its height would then run past the window.
    const std::int64_t scaledHeight = (height * clientWidth) / width;
    if (scaledHeight > clientHeight) return fullHeight;
    return {0, 0, ClampToCoordinate(clientWidth), ClampToCoordinate(scaledHeight)};
}

std::int32_t ClampPanOffset(std::int32_t offset, std::int64_t pictureSize,
                            std::int64_t clientSize) {
    if (offset > 0 || pictureSize < clientSize) return 0;
    if (offset < clientSize - pictureSize) return ClampToCoordinate(clientSize - pictureSize);
    return offset;
}

bool DestinationRect(ViewMode mode, std::int64_t width, std::int64_t height,
                     std::int64_t clientWidth, std::int64_t clientHeight, std::int32_t* panOffsetX,
                     std::int32_t* panOffsetY, ViewRect* destination) {
    if (width <= 0 || height <= 0) return false;
    switch (mode) {
        case ViewMode::kFixedAspect:
            if (clientWidth <= 0 || clientHeight <= 0) return false;
            *destination = FixedAspectRect(width, height, clientWidth, clientHeight);
            return true;
        case ViewMode::kActualSize:
            *panOffsetX = ClampPanOffset(*panOffsetX, width, clientWidth);
            *panOffsetY = ClampPanOffset(*panOffsetY, height, clientHeight);
            *destination = {*panOffsetX, *panOffsetY, ClampToCoordinate(*panOffsetX + width),
                            ClampToCoordinate(*panOffsetY + height)};
            return true;
        case ViewMode::kFitToWindow:
            *destination = {0, 0, ClampToCoordinate(clientWidth), ClampToCoordinate(clientHeight)};
            return true;
    }
    return false;
}

}  // namespace telvo
