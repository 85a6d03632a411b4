// How the view shows the picture.
#pragma once

#include <cstdint>

namespace telvo {

enum class ViewMode : std::int32_t { kFixedAspect = 0, kActualSize = 1, kFitToWindow = 2 };

}  // namespace telvo
