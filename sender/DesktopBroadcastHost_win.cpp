#include "sender/DesktopBroadcastHost_win.h"

#include <windows.h>

#include <mmsystem.h>

#include "sender/ScreenCapture_win.h"

namespace telvo {

bool DesktopBroadcastHost::CaptureScreen(HeapBlock& picture, std::uint32_t* length) {
    const ScreenChoice choice =
        ChooseScreen(settings_.monitor.load(), listMonitors_(), VirtualDesktop());
    if (choice.fellBack != fellBack_) {
        fellBack_ = choice.fellBack;
        if (showFallback_) showFallback_(fellBack_);
    }
    originX_ = choice.area.left;
    originY_ = choice.area.top;
    const RECT area{choice.area.left, choice.area.top, choice.area.right, choice.area.bottom};
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
