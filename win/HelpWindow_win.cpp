#include "win/HelpWindow_win.h"

namespace telvo {
namespace {

constexpr wchar_t kHelpWindowClass[] = L"TelvoHelpWindow";

}  // namespace

bool HelpWindow::Show(HWND owner) {
    if (hwnd_ != nullptr) {
        ShowWindow(hwnd_, SW_RESTORE);
        SetForegroundWindow(hwnd_);
        return true;
    }
    if (!RegisterWindowClassOnce(kHelpWindowClass, WindowProc<HelpWindow>, 0,
                                 reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                                 LoadCursorW(nullptr, IDC_ARROW))) {
        return false;
    }
    CreateWindowExW(/*exStyle*/ 0, kHelpWindowClass, caption_, WS_OVERLAPPEDWINDOW,
                    /*x*/ CW_USEDEFAULT, /*y*/ CW_USEDEFAULT, /*width*/ 520, /*height*/ 400, owner,
                    /*menu*/ nullptr, GetModuleHandleW(nullptr), this);
    if (hwnd_ == nullptr) return false;
    ShowWindow(hwnd_, SW_SHOW);
    return true;
}

void HelpWindow::Close() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

LRESULT HelpWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_SIZE:
            OnSize(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_SETFOCUS:
            SetFocus(hwndText_);
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

bool HelpWindow::OnCreate() {
    hwndText_ = CreateWindowExW(
        /*exStyle*/ 0, L"EDIT", text_,
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
        /*x*/ 0, /*y*/ 0, /*width*/ 0, /*height*/ 0, hwnd_, /*menu*/ nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (hwndText_ == nullptr) return false;
    SendMessageW(hwndText_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    return true;
}

void HelpWindow::OnSize(int width, int height) {
    const int margin = 8;
    MoveWindow(hwndText_, margin, margin, width - 2 * margin, height - 2 * margin, TRUE);
}

}  // namespace telvo
