#include "sender/DesktopBroadcastHost_win.h"

#include <windows.h>

#include <mmsystem.h>

#include "sender/ScreenCapture_win.h"

namespace telvo {

bool DesktopBroadcastHost::CaptureScreen(HeapBlock& picture) {
    return CaptureWindow(GetDesktopWindow(), picture);
}

void DesktopBroadcastHost::CursorPosition(std::int32_t* x, std::int32_t* y) {
    POINT point{};
    GetCursorPos(&point);
    *x = point.x;
    *y = point.y;
}

void DesktopBroadcastHost::ShowSendingIcon(bool sending) {
    if (showSendingIcon_) showSendingIcon_(sending);
}

void DesktopBroadcastHost::ReportNetworkFailure() {
    MessageBoxW(nullptr, L"ネットワークの初期化に失敗しました", L"TelvoServer",
                MB_OK | MB_ICONWARNING);
}

std::uint32_t DesktopBroadcastHost::Milliseconds() {
    return timeGetTime();
}

void DesktopBroadcastHost::Sleep(unsigned ms) {
    ::Sleep(ms);
}

}  // namespace telvo
