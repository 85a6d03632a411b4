// The programs' help: a small window of their own showing a short help text. (A WinHelp file
// cannot be shown on current Windows, and WinHelp on a missing file blocks its caller.) One
// object per program, used on the user-interface thread only. Unicode API.
#pragma once

#include <windows.h>

#include "win/WindowProc_win.h"

namespace telvo {

class HelpWindow {
  public:
    // `caption` and `text` (lines separated by "\r\n") must outlive the object.
    HelpWindow(const wchar_t* caption, const wchar_t* text) : caption_(caption), text_(text) {}
    ~HelpWindow() { Close(); }
    HelpWindow(const HelpWindow&) = delete;
    HelpWindow& operator=(const HelpWindow&) = delete;

    // Opens the window owned by `owner` (may be null), or brings an open one to the front.
    // Returns false when it cannot be created.
    [[nodiscard]] bool Show(HWND owner);
    // Closes the window if it is open.
    void Close();
    // The open window, or null.
    HWND window() const { return hwnd_; }

  private:
    TELVO_WINDOW_PROC_FRIEND;
    void AttachWindow(HWND hwnd) {
        hwnd_ = hwnd;
        if (hwnd == nullptr) hwndText_ = nullptr;
    }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnSize(int width, int height);

    const wchar_t* caption_;
    const wchar_t* text_;
    HWND hwnd_ = nullptr;
    HWND hwndText_ = nullptr;
};

}  // namespace telvo
