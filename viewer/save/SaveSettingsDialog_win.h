// The save settings dialog: the folder pictures are saved into and the interval of
// continuous save. Values go in and come out through the object; nothing is stored here.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "win/DialogProc_win.h"

namespace telvo {

class SaveSettingsDialog {
  public:
    SaveSettingsDialog(std::wstring folder, std::uint32_t intervalSeconds)
        : folder_(std::move(folder)), intervalSeconds_(intervalSeconds) {}

    // Shows the dialog, modal, owned by `owner`. On OK the checked values are in folder() and
    // intervalSeconds(). Returns IDOK, IDCANCEL, or -1 when it cannot be shown.
    [[nodiscard]] INT_PTR Show(HINSTANCE instance, HWND owner);

    const std::wstring& folder() const { return folder_; }
    std::uint32_t intervalSeconds() const { return intervalSeconds_; }

  private:
    TELVO_DIALOG_PROC_FRIEND;
    void OnInit(HWND dialog);
    INT_PTR OnDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    bool OnOk(HWND dialog);
    void OnBrowse(HWND dialog);

    std::wstring folder_;
    std::uint32_t intervalSeconds_;
};

}  // namespace telvo
