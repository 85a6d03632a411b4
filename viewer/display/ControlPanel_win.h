// CControlPanel: the floating "操作ﾊﾟﾈﾙ", a modeless tool-window dialog (resource 130) with one row
// of icon buttons: channels 1 to 5, save, memo and full screen. It owns no logic: each button sends
// the command of its menu item to the panel's owner, the frame. The view owns the panel, sets its
// fields and asks it to show them (LoadControls); the message loop gives the panel's messages to
// PreTranslateMessage first, so the frame's accelerator keys work while the panel has the focus.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <cstdint>

#include "win/DialogProc_win.h"
#include "win/WinHandles.h"

namespace telvo {

// Channels 1 to 5, save, memo, full screen.
inline constexpr std::size_t kPanelButtonCount = 8;

class CControlPanel {
  public:
    CControlPanel() = default;
    CControlPanel(const CControlPanel&) = delete;
    CControlPanel& operator=(const CControlPanel&) = delete;
    ~CControlPanel();

    // Creates the hidden panel; `parent`'s top-level window becomes its owner.
    [[nodiscard]] bool Create(HWND parent);
    HWND hwnd() const { return hwnd_; }

    // The save and memo buttons: enabled only while there is a picture.
    void EnableSaveAndMemo(bool enable);
    // Shows the fields on the buttons: the channel radio group and the full-screen button.
    void LoadControls();
    // Hides the panel, or shows it at the top-left corner of `frame`'s client area.
    void ToggleAt(HWND frame);
    // Puts the panel directly above `frame`, its owner, in the frame's band (topmost or not).
    void KeepAbove(HWND frame);
    // The panel's accelerator keys, then its dialog keys. True when `message` has been handled.
    bool PreTranslateMessage(MSG* message);

    std::int32_t fullScreenCheck = 0;  // 1: the full-screen button is pressed
    std::int32_t channelRadio = -1;    // 0-based index of the pressed channel button; -1: none

  private:
    TELVO_DIALOG_PROC_FRIEND;
    void OnInit(HWND dialog);
    INT_PTR OnDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCommand(int id, int code, WPARAM wParam, LPARAM lParam);
    void OnNeedText(NMTTDISPINFOW* info) const;
    void SaveControls();
    void SetIcon(int buttonId, int iconId, UniqueIcon* icon);

    HWND hwnd_ = nullptr;
    HACCEL panelAccelerators_ = nullptr;   // a loaded resource: freed with the module
    UniqueIcon icons_[kPanelButtonCount];  // in the order of the buttons' table
};

}  // namespace telvo
