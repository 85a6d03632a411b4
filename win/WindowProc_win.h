// The one window procedure of every window class of the programs. On
// WM_NCCREATE it takes the object from the create parameters, tells it its window and keeps it in
// the window's user data; later messages go to the object's OnMessage; at WM_NCDESTROY the object
// is told that its window is gone and the link is cleared. A window without an object goes to the
// default procedure. A class uses it as WindowProc<Class> and befriends it with
// TELVO_WINDOW_PROC_FRIEND.
#pragma once

#include <windows.h>

namespace telvo {

// Registers a window class of this program once; a later call for the same class succeeds at once.
// `cursor` may be null: the class's windows then leave the cursor as they find it.
[[nodiscard]] inline bool RegisterWindowClassOnce(const wchar_t* className, WNDPROC procedure,
                                                  UINT style, HBRUSH background, HCURSOR cursor,
                                                  HICON icon = nullptr) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (GetClassInfoExW(instance, className, &windowClass)) return true;
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    return RegisterClassExW(&windowClass) != 0;
}

template <typename Window>
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->AttachWindow(hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->AttachWindow(nullptr);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return self->OnMessage(message, wParam, lParam);
}

}  // namespace telvo

// Inside a class: lets WindowProc<Class> reach its private AttachWindow and OnMessage.
#define TELVO_WINDOW_PROC_FRIEND \
    template <typename Window>   \
    friend LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM)
