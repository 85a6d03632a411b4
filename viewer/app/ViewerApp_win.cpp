#include "viewer/app/ViewerApp_win.h"

#include "base/Socket.h"
#include "viewer/app/AboutBox_win.h"
#include "viewer/app/MainFrame_win.h"
#include "viewer/res/resource.h"
#include "win/PrivateProfile_win.h"

namespace telvo {
namespace {

std::wstring ModulePath() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

}  // namespace

std::wstring ResourceText(int id) {
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, length) : std::wstring();
}

ViewerApp& TheApp() {
    static ViewerApp app;
    return app;
}

ViewerApp::ViewerApp() {
    settings_.iniPath = SettingsPathBeside(ModulePath(), kViewerSettingsFile);
}

void ViewerApp::LoadSettings() {
    PrivateProfile file(settings_.iniPath, kViewerSettingsSection);
    settings_.LoadSettings(file);
}

void ViewerApp::SaveSettings() {
    PrivateProfile file(settings_.iniPath, kViewerSettingsSection);
    settings_.SaveSettings(file);
    TellOnceIfLeftUnconvertible(file, GetActiveWindow(), ResourceText(IDS_APP_TITLE).c_str());
}

int ViewerApp::Run() {
    if (StartSockets(1, 1) != 0) {
        MessageBoxW(nullptr, ResourceText(IDS_SOCKETS_FAILED).c_str(),
                    ResourceText(IDS_APP_TITLE).c_str(), MB_ICONEXCLAMATION | MB_OK);
        return 1;
    }
    LoadSettings();
    CMainFrame frame(*this);
    if (!frame.Create()) return 1;  // nothing to show; end quietly
    ShowWindow(frame.hwnd(), SW_SHOW);
    UpdateWindow(frame.hwnd());

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (frame.view().panel().PreTranslateMessage(&message)) continue;
        if (frame.TranslateAccelerators(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

bool ViewerApp::OnCommand(HWND frame, int id) {
    switch (id) {
        case ID_APP_ABOUT:
            ShowAboutBox(frame);
            return true;
        case ID_APP_EXIT:
            SendMessageW(frame, WM_CLOSE, 0, 0);
            return true;
        default:
            return false;
    }
}

bool ViewerApp::UpdateCommand(int id, CommandState* state) const {
    if (id != ID_APP_ABOUT && id != ID_APP_EXIT) return false;
    state->enabled = true;
    return true;
}

}  // namespace telvo
