// The save settings dialog (131): the folder pictures are saved into and the interval of
// continuous save. Values go in and come out through the object; nothing is stored here.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace telvo {

inline constexpr int kSaveSettingsDialog = 131;
inline constexpr int kSaveFolderEdit = 1013;
inline constexpr int kBrowseButton = 1014;
inline constexpr int kSaveIntervalEdit = 1015;

class SaveSettingsDialog {
public:
    SaveSettingsDialog(std::wstring folder, std::uint32_t intervalSeconds)
        : folder_(std::move(folder)), intervalSeconds_(intervalSeconds) {}

    // Shows the dialog, modal, owned by `owner`. On OK the checked values are in folder() and
    // intervalSeconds(). Returns IDOK, IDCANCEL, or -1 when it cannot be shown.
    INT_PTR Show(HINSTANCE instance, HWND owner);

    const std::wstring& folder() const { return folder_; }
    std::uint32_t intervalSeconds() const { return intervalSeconds_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit(HWND dialog);
    bool OnOk(HWND dialog);
    void OnBrowse(HWND dialog);

    std::wstring folder_;
    std::uint32_t intervalSeconds_;
};

}  // namespace telvo
