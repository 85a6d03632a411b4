// The save commands of the viewer: save the picture on show, take a memo (save it and open it in
// the program for bitmap files), switch continuous save on and off, and edit the save settings.
// The view owns the object and forwards the commands to it; the folder and interval come from the
// settings the object is given, and new values go back through `storeOptions`. User-interface
// thread only, except the continuous-save thread it owns.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "viewer/net/PictureStore.h"
#include "viewer/save/ContinuousSave.h"
#include "viewer/save/SaveOptions.h"

namespace telvo {

class SaveCommands {
  public:
    // `options` outlives the object; `storeOptions` writes them to the settings file after the
    // save settings dialog changed them.
    SaveCommands(std::shared_ptr<const PictureStore> store, SaveOptions& options,
                 std::function<void()> storeOptions);
    SaveCommands(const SaveCommands&) = delete;
    SaveCommands& operator=(const SaveCommands&) = delete;

    // The window that owns the commands' message boxes and dialog.
    void SetOwner(HWND owner) { owner_ = owner; }

    void Save();
    void TakeMemo();
    void ToggleContinuousSave();
    void EditSettings();

    bool continuousOn() const { return continuousSave_.on(); }
    // The save settings dialog is open.
    bool settingsOpen() const { return settingsOpen_; }

  private:
    // Asks for a save folder with the save settings dialog when none is set (and, for
    // continuous save, when no interval is). False when there is still none.
    bool AskForSettings(const wchar_t* caption, bool needInterval);
    void ShowMessage(const std::wstring& text, const wchar_t* caption, UINT icon);

    std::shared_ptr<const PictureStore> store_;
    SaveOptions& options_;
    std::function<void()> storeOptions_;
    HWND owner_ = nullptr;
    bool settingsOpen_ = false;
    ContinuousSave continuousSave_;
};

}  // namespace telvo
