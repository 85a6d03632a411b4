#include "sender/DesktopBroadcastHost_win.h"

#include <windows.h>

#include <mmsystem.h>

#include "sender/ScreenCapture_win.h"

namespace telvo {

bool DesktopBroadcastHost::CaptureScreen(HeapBlock& picture, std::uint32_t* length) {
    const RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    originX_ = area.left;
    originY_ = area.top;
    return CaptureScreenArea(area, picture, length);
}

void DesktopBroadcastHost::CursorPosition(std::int32_t* x, std::int32_t* y) {
    POINT point{};
    GetCursorPos(&point);
    *x = point.x - originX_;
    *y = point.y - originY_;
}

void DesktopBroadcastHost::ShowState(BroadcastState state, bool announce) {
    if (showState_) showState_(state, announce);
}

std::uint32_t DesktopBroadcastHost::Milliseconds() {
    return timeGetTime();
}

void DesktopBroadcastHost::Sleep(unsigned ms) {
    ::Sleep(ms);
}

}  // namespace telvo
