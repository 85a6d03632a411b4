// Owning handles and paired-call guards for Win32 (Windows builds only). Every kind of handle is
// an alias of the one UniqueHandle template; paired calls (GetDC/ReleaseDC, BeginPaint/EndPaint,
// SelectObject and back) get a guard of their own.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

namespace telvo {

template <typename T, BOOL(WINAPI* CloseFunction)(T)>
struct Win32Traits {
    using Handle = T;
    static constexpr Handle Invalid() { return nullptr; }
    static void Close(Handle handle) { CloseFunction(handle); }
};

// Files are the one kind whose empty value is INVALID_HANDLE_VALUE rather than null.
struct FileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle file) { CloseHandle(file); }
};

inline BOOL WINAPI DeleteGdiObject(HGDIOBJ object) {
    return DeleteObject(object);
}

using UniqueKernelHandle = UniqueHandle<Win32Traits<HANDLE, CloseHandle>>;
using UniqueFile = UniqueHandle<FileTraits>;
using UniqueMemoryDc = UniqueHandle<Win32Traits<HDC, DeleteDC>>;
using UniqueGdiObject = UniqueHandle<Win32Traits<HGDIOBJ, DeleteGdiObject>>;
using UniqueMenu = UniqueHandle<Win32Traits<HMENU, DestroyMenu>>;
using UniqueIcon = UniqueHandle<Win32Traits<HICON, DestroyIcon>>;
using UniqueAccelerators = UniqueHandle<Win32Traits<HACCEL, DestroyAcceleratorTable>>;

// A window's device context (GetWindowDC or GetDC), released with the window it came from.
class WindowDc {
  public:
    enum class Area { kWholeWindow, kClient };
    WindowDc(HWND window, Area area)
        : window_(window), dc_(area == Area::kWholeWindow ? GetWindowDC(window) : GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

  private:
    HWND window_;
    HDC dc_;
};

// BeginPaint for the lifetime of the guard.
class PaintDc {
  public:
    explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintDc() { EndPaint(window_, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    HDC get() const { return dc_; }
    const PAINTSTRUCT& paint() const { return paint_; }

  private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (ok()) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

    bool ok() const { return previous_ != nullptr && previous_ != HGDI_ERROR; }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace telvo
