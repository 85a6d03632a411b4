// CScreenView's frame layout and full screen: how the main window follows the picture, and how it
// becomes a borderless topmost window over the primary screen and back.
#include <windows.h>

#include "protocol/ScreenBitmap.h"
#include "viewer/display/FrameLayout.h"
#include "viewer/display/ScreenView_win.h"

namespace telvo {
namespace {

// A frame the platform cannot fit exactly (a menu bar that wraps, a size it refuses) must not
// make LayoutFrame resize it without end.
constexpr int kMaxLayoutPasses = 4;

void ResizeFrame(HWND frame, int width, int height) {
    SetWindowPos(frame, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

}  // namespace

void CScreenView::LayoutFrame() {
    // Each resize sends the view WM_SIZE, which comes back here: the passes of this loop take the
    // place of those nested runs.
    if (layingOut_) return;
    layingOut_ = true;
    for (int pass = 0; pass < kMaxLayoutPasses && LayoutFramePass(); ++pass) {
    }
    layingOut_ = false;
}

// One run of the layout; true when it resized the frame.
bool CScreenView::LayoutFramePass() {
    std::int64_t width = 0;
    std::int64_t height = 0;
    {
        // The lock is held only while the size is read: resizing sends messages that take it.
        const ShownPicture picture = PictureOnShow();
        width = picture.layout().width;
        height = picture.layout().height;
    }
    const HWND frame = GetParent(hwnd_);
    if (IsIconic(frame) || width == 0 || options_.fullScreen != 0) return false;
    RECT client{};
    GetClientRect(hwnd_, &client);
    const MinimumClient minimum{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
    ViewRect wanted;
    if (!NextFrameLayout(options_.viewMode, width, height, client.right, client.bottom, minimum,
                         &lastLayoutRect_, &wanted)) {
        return false;
    }
    // The frame's client area is the view with its sunken edge; the frame has a menu bar.
    const int edgeX = GetSystemMetrics(SM_CXEDGE);
    const int edgeY = GetSystemMetrics(SM_CYEDGE);
    const RECT frameClient{-edgeX, -edgeY, wanted.right + edgeX, wanted.bottom + edgeY};
    RECT outer = frameClient;
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(frame, GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongW(frame, GWL_EXSTYLE)));
    const int outerWidth = outer.right - outer.left;
    const int outerHeight = outer.bottom - outer.top;
    ResizeFrame(frame, outerWidth, outerHeight);
    // A menu bar that wrapped onto more lines takes height the computation did not count.
    RECT measured{};
    GetClientRect(frame, &measured);
    const int difference = (frameClient.bottom - frameClient.top) - measured.bottom;
    if (difference != 0) ResizeFrame(frame, outerWidth, outerHeight + difference);
    return true;
}

void CScreenView::ToggleFullScreen() {
    // Set first: every WM_SIZE the steps below cause already sees the new state.
    options_.fullScreen = options_.fullScreen != 0 ? 0 : 1;
    const HWND frame = GetParent(hwnd_);
    const LONG style = GetWindowLongW(frame, GWL_STYLE);
    if (options_.fullScreen != 0) {
        savedPlacement_.length = sizeof savedPlacement_;
        GetWindowPlacement(frame, &savedPlacement_);
        // The frame's first menu is not shown again: frameMenu takes its place afterwards.
        const HMENU menu = GetMenu(frame);
        SetMenu(frame, nullptr);
        if (menu != nullptr && menu != frameMenu_.get()) DestroyMenu(menu);
        // Not maximized while full screen: the placement put back afterwards maximizes it again.
        SetWindowLongW(frame, GWL_STYLE, style & ~(WS_CAPTION | WS_THICKFRAME | WS_MAXIMIZE));
        const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
        const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
        RECT screen{0, 0, screenWidth, screenHeight};
        AdjustWindowRect(&screen, static_cast<DWORD>(GetWindowLongW(frame, GWL_STYLE)), FALSE);
        SetWindowPos(frame, HWND_TOPMOST, screen.left, screen.top, screenWidth, screenHeight,
                     SWP_SHOWWINDOW | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
        panel_.KeepAbove(frame);
    } else {
        // The frame is fitted to the picture once, when its placement is back.
        layingOut_ = true;
        SetMenu(frame, frameMenu_.get());
        SetWindowLongW(frame, GWL_STYLE, style | WS_CAPTION | WS_THICKFRAME);
        SetWindowPos(frame, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED);
        SetWindowPlacement(frame, &savedPlacement_);
        panel_.KeepAbove(frame);
        layingOut_ = false;
        LayoutFrame();
    }
    panel_.fullScreenCheck = options_.fullScreen;
    panel_.LoadControls();
}

}  // namespace telvo
