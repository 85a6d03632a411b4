// The about box: dialog 100, shown modally.
#pragma once

#include <windows.h>

namespace telvo {

void ShowAboutBox(HWND owner);

}  // namespace telvo
