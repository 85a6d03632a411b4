// The settings dialog (104): the channel, the capture interval in whole seconds, compression, the
// adapter the pictures leave through.
#pragma once

#include <windows.h>

#include "sender/SenderSettings.h"
#include "win/DialogProc_win.h"

namespace telvo {

class SettingsDialog {
  public:
    // At start-up the buttons read "ｷｬﾌﾟﾁｬ開始" and "終了" instead of OK and Cancel.
    SettingsDialog(SenderSettings& settings, bool firstStart)
        : settings_(settings), firstStart_(firstStart) {}

    // Shows the dialog, modal, owned by `owner`. On OK the new values are in the settings.
    // Returns IDOK, IDCANCEL, or -1 when the dialog cannot be shown.
    [[nodiscard]] INT_PTR Show(HINSTANCE instance, HWND owner);

  private:
    TELVO_DIALOG_PROC_FRIEND;
    void OnInit(HWND dialog);
    INT_PTR OnDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnOk(HWND dialog);
    void FillAdapterList(HWND dialog, std::uint32_t chosen);
    std::uint32_t ChosenAdapter(HWND dialog) const;

    SenderSettings& settings_;
    const bool firstStart_;
};

}  // namespace telvo
