#include "sender/SettingsDialog_win.h"

#include <commctrl.h>

#include <string>

#include "sender/SettingsText.h"
#include "sender/res/resource.h"

namespace telvo {
namespace {

std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[1024] = L"";
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

}  // namespace

INT_PTR SettingsDialog::Show(HINSTANCE instance, HWND owner) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), owner,
                           DialogProc<SettingsDialog>, reinterpret_cast<LPARAM>(this));
}

INT_PTR SettingsDialog::OnDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnOk(dialog);
                    EndDialog(dialog, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
            }
            return FALSE;
        case WM_QUERYENDSESSION:
            // A dialog procedure answers through DWLP_MSGRESULT: TRUE lets Windows shut down.
            EndDialog(dialog, IDCANCEL);
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
            return TRUE;
    }
    return FALSE;
}

void SettingsDialog::OnInit(HWND dialog) {
    RECT desktop{}, own{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog, &own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    SetWindowPos(dialog, nullptr, (desktop.right - desktop.left - width) / 2,
                 (desktop.bottom - desktop.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    const std::uint32_t seconds = settings_.captureInterval.load() / 1000;
    SendDlgItemMessageW(dialog, IDC_INTERVAL_SPIN, UDM_SETRANGE32, 0, kMaxIntervalSeconds);
    SendDlgItemMessageW(dialog, IDC_INTERVAL_SPIN, UDM_SETPOS32, 0, static_cast<LPARAM>(seconds));
    SendDlgItemMessageW(dialog, IDC_INTERVAL_EDIT, EM_LIMITTEXT, 4, 0);
    SetDlgItemTextW(dialog, IDC_INTERVAL_EDIT, std::to_wstring(seconds).c_str());

    CheckDlgButton(dialog, IDC_COMPRESS,
                   settings_.compress.load() != 0 ? BST_CHECKED : BST_UNCHECKED);

    const std::uint32_t channel = settings_.channelIndex.load() + 1;
    SetDlgItemTextW(dialog, IDC_CHANNEL_EDIT, std::to_wstring(channel).c_str());
    SendDlgItemMessageW(dialog, IDC_CHANNEL_SPIN, UDM_SETRANGE32, 1, kChannelCount);
    SendDlgItemMessageW(dialog, IDC_CHANNEL_SPIN, UDM_SETPOS32, 0, static_cast<LPARAM>(channel));
    SendDlgItemMessageW(dialog, IDC_CHANNEL_EDIT, EM_LIMITTEXT, 1, 0);

    // The list keeps the order of `monitors_`; each entry carries its monitor number.
    const HWND monitorList = GetDlgItem(dialog, IDC_MONITOR);
    for (const MonitorChoice& choice : monitors_) {
        const LRESULT index = SendMessageW(monitorList, CB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(choice.text.c_str()));
        if (index < 0) continue;
        SendMessageW(monitorList, CB_SETITEMDATA, static_cast<WPARAM>(index), choice.monitor);
        if (choice.monitor == settings_.monitor.load()) {
            SendMessageW(monitorList, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
    }

    if (firstStart_) {
        SetDlgItemTextW(dialog, IDOK, L"ｷｬﾌﾟﾁｬ開始");
        SetDlgItemTextW(dialog, IDCANCEL, L"終了");
    }
}

void SettingsDialog::OnOk(HWND dialog) {
    settings_.captureInterval = CaptureIntervalFromText(ItemText(dialog, IDC_INTERVAL_EDIT));
    settings_.compress = IsDlgButtonChecked(dialog, IDC_COMPRESS) == BST_CHECKED ? 1 : 0;
    settings_.channelIndex =
        ChannelIndexFromText(ItemText(dialog, IDC_CHANNEL_EDIT), settings_.channelIndex.load());
    const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_MONITOR, CB_GETCURSEL, 0, 0);
    if (chosen != CB_ERR) {
        settings_.monitor = static_cast<std::int32_t>(SendDlgItemMessageW(
            dialog, IDC_MONITOR, CB_GETITEMDATA, static_cast<WPARAM>(chosen), 0));
    }
}

}  // namespace telvo
