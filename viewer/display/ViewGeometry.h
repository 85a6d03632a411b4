// Where the view paints the picture in each view mode. All arithmetic is 64-bit with divisions
// that drop the remainder, so no width or height a picture can claim overflows; results are
// clamped to the 32-bit coordinates that drawing calls take.
#pragma once

#include <cstdint>

#include "viewer/display/ViewMode.h"

namespace telvo {

struct ViewRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool operator==(const ViewRect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
};

// `value` limited to the range of a 32-bit coordinate.
std::int32_t ClampToCoordinate(std::int64_t value);

// Fixed aspect: the largest rectangle with the picture's aspect ratio (compared in whole
// percent) that fits a `clientWidth` x `clientHeight` area, anchored at the top-left corner.
ViewRect FixedAspectRect(std::int64_t width, std::int64_t height, std::int64_t clientWidth,
                         std::int64_t clientHeight);

// Actual size: an offset greater than 0, or any offset when the picture is smaller than the
// client area, becomes 0; one below clientSize - pictureSize becomes that.
std::int32_t ClampPanOffset(std::int32_t offset, std::int64_t pictureSize, std::int64_t clientSize);

// The destination rectangle of a paint. In actual size it clamps the pan offsets in place.
// Returns false when nothing can be drawn: a picture or (in fixed aspect) a client area with a
// zero width or height.
bool DestinationRect(ViewMode mode, std::int64_t width, std::int64_t height,
                     std::int64_t clientWidth, std::int64_t clientHeight, std::int32_t* panOffsetX,
                     std::int32_t* panOffsetY, ViewRect* destination);

}  // namespace telvo
