#include "viewer/save/SaveCommands_win.h"

#include <objbase.h>
#include <shellapi.h>

#include <ctime>
#include <new>

#include "base/Thread.h"
#include "viewer/save/PictureWriter_win.h"
#include "viewer/save/SaveSettingsDialog_win.h"
#include "viewer/save/ShellExecuteErrorText.h"
#include "win/ErrorText_win.h"

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

std::wstring Reason(DWORD error) {
    return L"\r\n[" + SystemErrorText(error) + L"]";
}

}  // namespace

// One save of the save or memo command, written on a thread of its own and then handed back to
// the owner window.
struct SaveCommands::SingleSave {
    PictureCopy picture;
    std::wstring path;  // the name wanted
    bool memo = false;
    HWND owner = nullptr;
    SavedPicture saved;
};

SaveCommands::SaveCommands(SaveOptions& options, std::function<void()> storeOptions)
    : options_(options),
      storeOptions_(std::move(storeOptions)),
      continuousSave_(
          [](const PictureCopy& picture, const std::wstring& folder) {
              return static_cast<std::uint32_t>(
                  WriteCurrentPicture(
                      picture, PictureFilePath(folder, SaveKind::kContinuous, LocalTimeNow()))
                      .error);
          },
          [] { return static_cast<std::uint32_t>(std::time(nullptr)); },
          [owner = owner_](std::uint32_t error) {
              PostMessageW(owner->load(), kContinuousSaveStopped, error, 0);
          }) {}

void SaveCommands::ShowMessage(const std::wstring& text, const wchar_t* caption, UINT icon) {
    MessageBoxW(owner_->load(), text.c_str(), caption, MB_OK | icon);
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
void SaveCommands::StartSingleSave(PictureCopy picture, bool memo) {
    const wchar_t* caption = memo ? kMemoCaption : kSaveCaption;
    if (picture.size == 0 || !AskForSettings(caption, false)) return;
    auto* save = new (std::nothrow) SingleSave;
    if (save == nullptr) {
        ShowMessage(L"画像の保存に失敗しました。" + Reason(ERROR_NOT_ENOUGH_MEMORY), caption,
                    MB_ICONWARNING);
        return;
    }
    save->picture = std::move(picture);
    save->path = PictureFilePath(options_.saveDir, SaveKind::kSingle, LocalTimeNow());
    save->memo = memo;
    save->owner = owner_->load();
    if (StartDetachedThread(&WriteSingleSave, save) != 0) {
        save->saved.error = ERROR_NOT_ENOUGH_MEMORY;
        FinishSingleSave(*save);
        delete save;
    }
}

void SaveCommands::WriteSingleSave(void* argument) {
    auto* save = static_cast<SingleSave*>(argument);
    save->saved = WriteCurrentPicture(save->picture, save->path);
    save->picture.bytes.reset();
    if (!PostMessageW(save->owner, kSaveFinished, 0, reinterpret_cast<LPARAM>(save))) delete save;
}

void SaveCommands::OnSaveMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSaveFinished) {
        const std::unique_ptr<SingleSave> save(reinterpret_cast<SingleSave*>(lParam));
        FinishSingleSave(*save);
    } else if (message == kContinuousSaveStopped && !stopMessageOpen_) {
        stopMessageOpen_ = true;  // one box, however many stops come while it is open
        ShowMessage(L"画像の保存に失敗したため、連続保存を停止しました。" +
                        Reason(static_cast<DWORD>(wParam)),
                    kContinuousSaveCaption, MB_ICONWARNING);
        stopMessageOpen_ = false;
    }
}

void SaveCommands::FinishSingleSave(SingleSave& save) {
    const wchar_t* caption = save.memo ? kMemoCaption : kSaveCaption;
    const std::wstring& path = save.saved.path;
    if (path.empty()) {
        ShowMessage(L"画像の保存に失敗しました。" + Reason(save.saved.error), caption,
                    MB_ICONWARNING);
        return;
    }
    if (!save.memo) {
        ShowMessage(L"「" + path + L"」に保存しました。", kSaveCaption, MB_ICONINFORMATION);
        return;
    }
    // File associations may be COM handlers: ShellExecute wants COM on the calling thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner_->load(), L"open", path.c_str(), nullptr, nullptr, SW_SHOWDEFAULT));
    if (SUCCEEDED(com)) CoUninitialize();
    if (result <= 32) {
        ShowMessage(
            std::wstring(L"画像の表示に失敗しました。\r\n[") + ShellExecuteErrorText(result) + L"]",
            kMemoCaption, MB_ICONWARNING);
    }
}

void SaveCommands::ToggleContinuousSave(ContinuousSave::PictureSource source) {
    if (!AskForSettings(kContinuousSaveCaption, true)) return;
    if (continuousSave_.on()) {
        continuousSave_.Stop();
        return;
    }
    if (continuousSave_.Start(static_cast<std::uint32_t>(options_.saveInterval), options_.saveDir,
                              std::move(source)) != 0) {
        ShowMessage(L"連続保存を開始できませんでした。", kContinuousSaveCaption, MB_ICONWARNING);
    }
}

void SaveCommands::EditSettings() {
    SaveSettingsDialog dialog(
        options_.saveDir,
        static_cast<std::uint32_t>(IntervalSet(options_.saveInterval) ? options_.saveInterval : 0));
    settingsOpen_ = true;
    if (dialog.Show(GetModuleHandleW(nullptr), owner_->load()) == IDOK) {
        options_.saveDir = dialog.folder();
        options_.saveInterval = static_cast<std::int32_t>(dialog.intervalSeconds());
        storeOptions_();
    }
    settingsOpen_ = false;
}

}  // namespace telvo
