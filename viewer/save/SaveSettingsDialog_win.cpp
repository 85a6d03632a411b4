#include "viewer/save/SaveSettingsDialog_win.h"

#include <objbase.h>
#include <shlobj.h>

#include "viewer/res/resource.h"
#include "viewer/save/SaveSettingsInput.h"

namespace telvo {
namespace {

std::wstring ItemText(HWND dialog, int id) {
    const HWND item = GetDlgItem(dialog, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(item, &text[0], static_cast<int>(text.size()))));
    return text;
}

}  // namespace

INT_PTR SaveSettingsDialog::Show(HINSTANCE instance, HWND owner) {
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SAVE_SETTINGS), owner,
                           DialogProc<SaveSettingsDialog>, reinterpret_cast<LPARAM>(this));
}

INT_PTR SaveSettingsDialog::OnDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    if (OnOk(dialog)) EndDialog(dialog, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                case IDC_BROWSE:
                    OnBrowse(dialog);
                    return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

void SaveSettingsDialog::OnInit(HWND dialog) {
    SetDlgItemTextW(dialog, IDC_SAVE_DIR_EDIT, folder_.c_str());
    SendDlgItemMessageW(dialog, IDC_SAVE_DIR_EDIT, EM_LIMITTEXT, kMaxSaveFolderLength, 0);
    SetDlgItemTextW(dialog, IDC_SAVE_INTERVAL_EDIT, std::to_wstring(intervalSeconds_).c_str());
}

bool SaveSettingsDialog::OnOk(HWND dialog) {
    const std::wstring folder = ItemText(dialog, IDC_SAVE_DIR_EDIT);
    const SaveSettingsInput input =
        CheckSaveSettings(folder, ItemText(dialog, IDC_SAVE_INTERVAL_EDIT));
    if (input.failedField != SaveSettingsInput::Field::kNone) {
        MessageBoxW(dialog, input.message.c_str(), L"TelvoClient", MB_OK | MB_ICONWARNING);
        const HWND field = GetDlgItem(dialog, input.failedField == SaveSettingsInput::Field::kFolder
                                                  ? IDC_SAVE_DIR_EDIT
                                                  : IDC_SAVE_INTERVAL_EDIT);
        SetFocus(field);
        SendMessageW(field, EM_SETSEL, 0, -1);
        return false;
    }
    folder_ = folder;
    intervalSeconds_ = input.intervalSeconds;
    return true;
}

void SaveSettingsDialog::OnBrowse(HWND dialog) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BROWSEINFOW browse{};
    browse.hwndOwner = dialog;
    browse.lpszTitle = L"画像保存先ディレクトリ指定";
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse)) {
        wchar_t path[MAX_PATH] = L"";
        if (SHGetPathFromIDListW(item, path)) SetDlgItemTextW(dialog, IDC_SAVE_DIR_EDIT, path);
        CoTaskMemFree(item);
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

}  // namespace telvo
