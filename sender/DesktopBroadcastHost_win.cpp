#include "sender/DesktopBroadcastHost_win.h"

#include <windows.h>

#include <mmsystem.h>

#include "sender/ScreenCapture_win.h"

namespace telvo {
namespace {

// Windows 10 1803 and later; older systems refuse the flag, and the timer resolution is raised.
constexpr DWORD kHighResolutionTimer = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION

}  // namespace

const std::uint8_t* DesktopBroadcastHost::CaptureScreen(std::uint32_t* length) {
    const ScreenChoice choice =
        ChooseScreen(settings_.monitor.load(), listMonitors_(), VirtualDesktop());
    if (choice.fellBack != fellBack_) {
        fellBack_ = choice.fellBack;
        if (showFallback_) showFallback_(fellBack_);
    }
    originX_ = choice.area.left;
    originY_ = choice.area.top;
    const RECT area{choice.area.left, choice.area.top, choice.area.right, choice.area.bottom};
    if (!CaptureScreenArea(area, surface_)) return nullptr;
    *length = surface_.length();
    return surface_.picture();
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
    if (ms > 0 && timer_) {
        LARGE_INTEGER due{};
        due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;  // relative, in 100 ns
        if (SetWaitableTimer(timer_.get(), &due, 0, nullptr, nullptr, FALSE) &&
            WaitForSingleObject(timer_.get(), INFINITE) == WAIT_OBJECT_0) {
            return;
        }
    }
    ::Sleep(ms);
}

void DesktopBroadcastHost::BroadcastRunning(bool running) {
    if (running) {
        timer_.reset(
            CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS));
        periodRaised_ = !timer_ && timeBeginPeriod(1) == TIMERR_NOERROR;
        return;
    }
    timer_.reset();
    if (periodRaised_) timeEndPeriod(1);
    periodRaised_ = false;
    surface_.Release();
}

}  // namespace telvo
