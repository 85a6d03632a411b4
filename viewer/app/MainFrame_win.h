// CMainFrame: the viewer's main window, made from resource IDR_MAINFRAME (menu, accelerators,
// caption, small icon). Its whole client area is the view. A command reaching it is offered to the
// view, then to the frame itself (channels, help), then to the application object; so are the
// menu's update rules. The frame switches channels and keeps the title.
#pragma once

#include <windows.h>

#include <cstdint>

#include "viewer/display/CommandState.h"
#include "viewer/display/ScreenView_win.h"
#include "win/HelpWindow_win.h"
#include "win/WinHandles.h"
#include "win/WindowProc_win.h"

namespace telvo {

class ViewerApp;

class CMainFrame {
  public:
    explicit CMainFrame(ViewerApp& app);
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates the (hidden) frame and its view. False when either cannot be created.
    [[nodiscard]] bool Create();
    HWND hwnd() const { return hwnd_; }
    CScreenView& view() { return view_; }
    HelpWindow& help() { return help_; }

    // The frame's accelerator keys; true when `message` was one and has been handled.
    bool TranslateAccelerators(MSG* message);
    // The update rules of command `id` as the routing finds them; false when none has rules.
    bool UpdateCommandState(int id, CommandState* state) const;

    // Makes channel `channelIndex` (0 to 4; any other value receives nothing) the one received,
    // shown and stored in the settings file.
    void SelectChannel(std::int32_t channelIndex);
    // Shows the channel, the number of the picture on show and continuous save in the caption.
    void UpdateTitle();

  private:
    TELVO_WINDOW_PROC_FRIEND;
    void AttachWindow(HWND hwnd) {
        hwnd_ = hwnd;
        if (hwnd != nullptr) windowMade_ = true;
    }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnSize(int width, int height);
    void OnEnable(bool enabled);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnCommand(int id);
    void OnInitMenuPopup(HMENU menu);
    void OnClose();

    ViewerApp& app_;
    HWND hwnd_ = nullptr;
    bool windowMade_ = false;
    HACCEL accelerators_ = nullptr;  // a loaded resource: freed with the module
    UniqueIcon smallIcon_;
    HelpWindow help_;
    CScreenView view_;
};

}  // namespace telvo
