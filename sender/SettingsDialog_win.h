// The settings dialog (104): the channel, the capture interval in whole seconds, compression, the
// screen to broadcast.
#pragma once

#include <windows.h>

#include <vector>

#include "sender/ScreenChoice.h"
#include "sender/SenderSettings.h"
#include "win/DialogProc_win.h"

namespace telvo {

class SettingsDialog {
  public:
    // At start-up the buttons read "ｷｬﾌﾟﾁｬ開始" and "終了" instead of OK and Cancel. `monitors`
    // are the entries of the list of screens.
    SettingsDialog(SenderSettings& settings, bool firstStart, std::vector<MonitorChoice> monitors)
        : settings_(settings), firstStart_(firstStart), monitors_(std::move(monitors)) {}

    // Shows the dialog, modal, owned by `owner`. On OK the new values are in the settings.
    // Returns IDOK, IDCANCEL, or -1 when the dialog cannot be shown.
    [[nodiscard]] INT_PTR Show(HINSTANCE instance, HWND owner);

  private:
    TELVO_DIALOG_PROC_FRIEND;
    void OnInit(HWND dialog);
    INT_PTR OnDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnOk(HWND dialog);

    SenderSettings& settings_;
    const bool firstStart_;
    const std::vector<MonitorChoice> monitors_;
};

}  // namespace telvo
