#include "viewer/save/SaveCommands_win.h"

#include <objbase.h>
#include <shellapi.h>

#include <ctime>

#include "viewer/save/PictureWriter_win.h"
#include "viewer/save/SaveSettingsDialog_win.h"
#include "viewer/save/ShellExecuteErrorText.h"

namespace telvo {
namespace {

constexpr wchar_t kSaveCaption[] = L"現在の画面を保存";
constexpr wchar_t kMemoCaption[] = L"ﾒﾓを取る";
constexpr wchar_t kContinuousSaveCaption[] = L"連続保存";

// A stored interval below 1 second (a hand-edited file) counts as none: continuous save would
// otherwise write a file every pass.
bool IntervalSet(std::int32_t saveInterval) {
    return saveInterval >= 1;
}

}  // namespace

SaveCommands::SaveCommands(std::shared_ptr<const PictureStore> store, SaveOptions& options,
                           std::function<void()> storeOptions)
    : store_(std::move(store)),
      options_(options),
      storeOptions_(std::move(storeOptions)),
      continuousSave_(
          store_,
          [store = store_](const std::wstring& folder) {
              return !WriteCurrentPicture(*store, SaveKind::kContinuous, folder).empty();
          },
          [] { return static_cast<std::uint32_t>(std::time(nullptr)); }) {}

void SaveCommands::ShowMessage(const std::wstring& text, const wchar_t* caption, UINT icon) {
    MessageBoxW(owner_, text.c_str(), caption, MB_OK | icon);
}

bool SaveCommands::AskForSettings(const wchar_t* caption, bool needInterval) {
    if (!options_.saveDir.empty() && (!needInterval || IntervalSet(options_.saveInterval))) {
        return true;
    }
    ShowMessage(L"保存先を設定してください。", caption, MB_ICONWARNING);
    EditSettings();
    return !options_.saveDir.empty() && IntervalSet(options_.saveInterval);
}

// Save and memo do nothing without a picture, whichever way they are given (menu, F5/F6 in full
// screen, the panel).
void SaveCommands::Save() {
    if (!store_->HasPicture() || !AskForSettings(kSaveCaption, false)) return;
    const std::wstring path = WriteCurrentPicture(*store_, SaveKind::kSingle, options_.saveDir);
    if (path.empty()) {
        ShowMessage(L"画像の保存に失敗しました。", kSaveCaption, MB_ICONWARNING);
    } else {
        ShowMessage(L"「" + path + L"」に保存しました。", kSaveCaption, MB_ICONINFORMATION);
    }
}

void SaveCommands::TakeMemo() {
    if (!store_->HasPicture() || !AskForSettings(kMemoCaption, false)) return;
    const std::wstring path = WriteCurrentPicture(*store_, SaveKind::kSingle, options_.saveDir);
    if (path.empty()) {
        ShowMessage(L"画像の保存に失敗しました。", kMemoCaption, MB_ICONWARNING);
        return;
    }
    // File associations may be COM handlers: ShellExecute wants COM on the calling thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner_, L"open", path.c_str(), nullptr, nullptr, SW_SHOWDEFAULT));
    if (SUCCEEDED(com)) CoUninitialize();
    if (result <= 32) {
        ShowMessage(
            std::wstring(L"画像の表示に失敗しました。\r\n[") + ShellExecuteErrorText(result) + L"]",
            kMemoCaption, MB_ICONWARNING);
    }
}

void SaveCommands::ToggleContinuousSave() {
    if (!AskForSettings(kContinuousSaveCaption, true)) return;
    if (continuousSave_.on()) {
        continuousSave_.Stop();
        return;
    }
    if (continuousSave_.Start(static_cast<std::uint32_t>(options_.saveInterval),
                              options_.saveDir) != 0) {
        ShowMessage(L"連続保存を開始できませんでした。", kContinuousSaveCaption, MB_ICONWARNING);
    }
}

void SaveCommands::EditSettings() {
    SaveSettingsDialog dialog(
        options_.saveDir,
        static_cast<std::uint32_t>(IntervalSet(options_.saveInterval) ? options_.saveInterval : 0));
    settingsOpen_ = true;
    if (dialog.Show(GetModuleHandleW(nullptr), owner_) == IDOK) {
        options_.saveDir = dialog.folder();
        options_.saveInterval = static_cast<std::int32_t>(dialog.intervalSeconds());
        storeOptions_();
    }
    settingsOpen_ = false;
}

}  // namespace telvo
