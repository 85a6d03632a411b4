// The save commands of the viewer: save the picture on show, take a memo (save it and open it in
// the program for bitmap files), switch continuous save on and off, and edit the save settings.
// The view owns the object and forwards the commands to it with the picture on show; the folder
// and interval come from the settings the object is given, and new values go back through
// `storeOptions`. User-interface thread only. Files are written on threads of their own from a
// copy of the picture, so a slow folder holds neither the window nor the receiver; what they
// found comes back to the owner window as a posted message, which it hands to OnSaveMessage.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "viewer/net/PictureStore.h"
#include "viewer/save/ContinuousSave.h"
#include "viewer/save/SaveOptions.h"

namespace telvo {

// Posted to the owner window: a single save is done (lParam: the save, for OnSaveMessage).
inline constexpr UINT kSaveFinished = WM_APP + 10;
// Posted to the owner window: a failed write switched continuous save off (wParam: error code).
inline constexpr UINT kContinuousSaveStopped = WM_APP + 11;

class SaveCommands {
  public:
    // `options` outlives the object; `storeOptions` writes them to the settings file after the
    // save settings dialog changed them.
    SaveCommands(SaveOptions& options, std::function<void()> storeOptions);
    SaveCommands(const SaveCommands&) = delete;
    SaveCommands& operator=(const SaveCommands&) = delete;

    // The window that owns the commands' message boxes and dialog.
    void SetOwner(HWND owner) { owner_->store(owner); }

    // Save and memo write `picture`, a copy of the picture on show; nothing without one.
    void Save(PictureCopy picture) { StartSingleSave(std::move(picture), false); }
    void TakeMemo(PictureCopy picture) { StartSingleSave(std::move(picture), true); }
    // Continuous save takes its pictures from `source` while it is on (see ContinuousSave).
    void ToggleContinuousSave(ContinuousSave::PictureSource source);
    void EditSettings();
    // Tells the user what a save found: kSaveFinished and kContinuousSaveStopped.
    void OnSaveMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool continuousOn() const { return continuousSave_.on(); }
    // The save settings dialog is open.
    bool settingsOpen() const { return settingsOpen_; }

  private:
    struct SingleSave;
    static void WriteSingleSave(void* save);
    void StartSingleSave(PictureCopy picture, bool memo);
    void FinishSingleSave(SingleSave& save);
    // Asks for a save folder with the save settings dialog when none is set (and, for
    // continuous save, when no interval is). False when there is still none.
    bool AskForSettings(const wchar_t* caption, bool needInterval);
    void ShowMessage(const std::wstring& text, const wchar_t* caption, UINT icon);

    SaveOptions& options_;
    std::function<void()> storeOptions_;
    // Shared with the threads, which may outlive the object.
    const std::shared_ptr<std::atomic<HWND>> owner_ = std::make_shared<std::atomic<HWND>>(nullptr);
    bool settingsOpen_ = false;
    bool stopMessageOpen_ = false;  // the box saying continuous save stopped is on screen
    ContinuousSave continuousSave_;
};

}  // namespace telvo
