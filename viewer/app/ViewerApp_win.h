// ViewerApp: the viewer's one application object. It owns the settings record and, while the
// program runs, the main window; performs start-up and exit, and handles the commands that
// neither the view nor the frame takes (about box, exit).
#pragma once

#include <windows.h>

#include <string>

#include "viewer/app/ViewerSettings.h"
#include "viewer/display/CommandState.h"

namespace telvo {

class ViewerApp {
  public:
    // Sets iniPath beside the executable; every other setting takes its default.
    ViewerApp();
    ViewerApp(const ViewerApp&) = delete;
    ViewerApp& operator=(const ViewerApp&) = delete;

    // Start-up, message loop and exit. Returns the process's exit code.
    int Run();

    ViewerSettings& settings() { return settings_; }
    const ViewerSettings& settings() const { return settings_; }
    void LoadSettings();
    void SaveSettings();

    // Commands that reach the application object from `frame`.
    bool OnCommand(HWND frame, int id);
    bool UpdateCommand(int id, CommandState* state) const;

  private:
    ViewerSettings settings_;
};

// The process's application object.
ViewerApp& TheApp();

// String resource `id` of the program, or "" when it has none.
std::wstring ResourceText(int id);

}  // namespace telvo
