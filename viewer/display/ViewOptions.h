// What the view shows and how: the part of the viewer's settings that the display owns. Neither
// is stored in the settings file.
#pragma once

#include <cstdint>

#include "viewer/display/ViewMode.h"

namespace telvo {

struct ViewOptions {
    std::uint8_t fullScreen = 0;
    ViewMode viewMode = ViewMode::kFixedAspect;
};

}  // namespace telvo
