// TelvoServer around the broadcast: the hidden window that owns the tray icon, the tray menu and
// its commands, the settings file and dialog, help and exit. The window class is built into the
// tests too, so the menu rules are checked in-process.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <string>

#include "sender/BroadcastLoop.h"
#include "sender/DesktopBroadcastHost_win.h"
#include "sender/Monitors_win.h"
#include "sender/SenderSettings.h"
#include "win/HelpWindow_win.h"
#include "win/WinHandles.h"
#include "win/WindowProc_win.h"

namespace telvo {

inline constexpr UINT kTrayNotifyMessage = WM_APP + 100;
// Posted by the broadcast thread: wParam a BroadcastState, lParam non-zero to announce it.
inline constexpr UINT kBroadcastStateMessage = WM_APP + 101;
// Posted by the broadcast thread: wParam non-zero while the chosen monitor is missing.
inline constexpr UINT kMonitorFallbackMessage = WM_APP + 102;
inline constexpr UINT kTrayIconId = 666;
inline constexpr wchar_t kSenderWindowClass[] = L"TelvoServerWClass";
inline constexpr wchar_t kSenderCaption[] = L"TelvoServer";

// What puts the tray icon into the notification area: Shell_NotifyIconW, or a test's stand-in.
using NotifyIconCall = BOOL(WINAPI*)(DWORD message, NOTIFYICONDATAW* data);

class TrayApp {
  public:
    // `startThread` starts the broadcast thread (a test may make it fail); `notifyIcon` shows the
    // tray icon; `listMonitors` tells which monitors there are.
    TrayApp(HINSTANCE instance, std::wstring settingsPath,
            ThreadStarter startThread = StartDetachedThread,
            NotifyIconCall notifyIcon = Shell_NotifyIconW,
            MonitorLister listMonitors = ListMonitors);
    TrayApp(const TrayApp&) = delete;
    TrayApp& operator=(const TrayApp&) = delete;
    ~TrayApp();

    // Start-up from the common controls on (the single-instance check is the caller's), the
    // message loop, and the end. Returns the exit code.
    int Run();

    // The start-up steps up to the tray icon, without any dialog; false on failure (a message
    // has been shown).
    [[nodiscard]] bool CreateWindowAndIcon();
    // The tray menu with its items enabled as the current state allows. Item 0 is the popup.
    UniqueMenu LoadTrayMenu() const;

    HWND window() const { return hwnd_; }
    SenderSettings& settings() { return settings_; }
    Broadcaster& broadcaster() { return broadcaster_; }

  private:
    TELVO_WINDOW_PROC_FRIEND;
    void AttachWindow(HWND hwnd) { hwnd_ = hwnd; }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    void StartBroadcast();
    int End(int exitCode);
    void OnTrayNotify(UINT mouseMessage);
    void OnBroadcastState(BroadcastState state, bool announce);
    void OnMonitorFallback(bool fellBack);
    [[nodiscard]] INT_PTR ShowSettingsDialog(bool firstStart);
    HICON StateIcon(BroadcastState state) const;
    void UpdateTip();
    void OnSettings();
    void ReopenSenderSocket();
    void SetChannelTip();
    void OnExit();
    void ShowTrayMenu();

    [[nodiscard]] bool AddTrayIcon();
    void ShowTrayIcon();
    void SetTrayTip(const std::wstring& tip);
    void SetTrayIcon(HICON icon);
    void RemoveTrayIcon();
    void SaveSettings();
    void ShowBalloon(const wchar_t* text);
    void ShowMessage(const wchar_t* text);

    const HINSTANCE instance_;
    const std::wstring settingsPath_;
    const NotifyIconCall notifyIcon_;
    const MonitorLister listMonitors_;
    UniqueIcon idleIcon_;
    UniqueIcon sendingIcon_;
    UniqueIcon errorIcon_;
    std::atomic<HWND> hwnd_{nullptr};  // read by the broadcast thread's icon switch
    UINT taskbarCreatedMessage_ = 0;
    SenderSettings settings_;
    DesktopBroadcastHost host_;
    Broadcaster broadcaster_;
    HelpWindow help_;
    bool settingsDialogOpen_ = false;                  // the one opened from the tray menu
    bool startUpDialogOpen_ = false;                   // the one of start-up
    bool iconShown_ = false;                           // the notification area took the icon
    BroadcastState state_ = BroadcastState::kWaiting;  // as last posted by the broadcast thread
    bool channelInTip_ = false;     // the tip names the channel (not before the start-up dialog)
    bool monitorFellBack_ = false;  // as last posted by the broadcast thread
};

}  // namespace telvo
