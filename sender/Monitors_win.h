// The monitors of this computer, as the screen choice needs them.
#pragma once

#include <vector>

#include "sender/ScreenChoice.h"

namespace telvo {

// The monitors in EnumDisplayMonitors order, the primary one marked.
std::vector<Monitor> ListMonitors();

// What lists the monitors: ListMonitors, or a test's stand-in.
using MonitorLister = std::vector<Monitor> (*)();

// The rectangle around all monitors.
ScreenArea VirtualDesktop();

}  // namespace telvo
