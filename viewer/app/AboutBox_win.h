// The about box, shown modally.
#pragma once

#include <windows.h>

namespace telvo {

void ShowAboutBox(HWND owner);

}  // namespace telvo
