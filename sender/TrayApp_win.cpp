#include "sender/TrayApp_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

#include "sender/SenderHelpText.h"
#include "sender/SenderProfile.h"
#include "sender/SenderSocket.h"
#include "sender/SettingsDialog_win.h"
#include "sender/TrayTip.h"
#include "sender/res/resource.h"
#include "win/PrivateProfile_win.h"

namespace telvo {
namespace {

// The broadcast thread waits this long at most for the program to end it at exit.
constexpr int kExitWaitMs = 2000;
// Until the notification area takes the icon (an autostart before the taskbar exists), it is
// offered again this often.
constexpr UINT kAddIconTimer = 1;
constexpr UINT kAddIconRetryMs = 1000;

HICON LoadTrayIcon(HINSTANCE instance, int id) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_VGACOLOR));
}

NOTIFYICONDATAW IconData(HWND hwnd, UINT flags) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;  // a tip of at most 63 characters
    data.hWnd = hwnd;
    data.uID = kTrayIconId;
    data.uFlags = flags;
    return data;
}

}  // namespace

TrayApp::TrayApp(HINSTANCE instance, std::wstring settingsPath, ThreadStarter startThread,
                 NotifyIconCall notifyIcon, MonitorLister listMonitors)
    : instance_(instance),
      settingsPath_(std::move(settingsPath)),
      notifyIcon_(notifyIcon),
      listMonitors_(listMonitors),
      // NOTE: posted, not set here: the shell call belongs on the main thread, and the broadcast
      // thread must not wait on it.
      host_(
          settings_, listMonitors,
          [this](BroadcastState state, bool announce) {
              PostMessageW(hwnd_, kBroadcastStateMessage, static_cast<WPARAM>(state), announce);
          },
          [this](bool fellBack) { PostMessageW(hwnd_, kMonitorFallbackMessage, fellBack, 0); }),
      broadcaster_(settings_, host_, startThread),
      help_(kSenderHelpCaption, kSenderHelpText) {}

TrayApp::~TrayApp() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool TrayApp::CreateWindowAndIcon() {
    idleIcon_.reset(LoadTrayIcon(instance_, IDI_IDLE));
    sendingIcon_.reset(LoadTrayIcon(instance_, IDI_SENDING));
    errorIcon_.reset(LoadTrayIcon(instance_, IDI_ERROR));

    // NOTE: a hidden top-level window, not a message-only one: those miss broadcasts such as
    // "TaskbarCreated" and WM_QUERYENDSESSION.
    if (!RegisterWindowClassOnce(kSenderWindowClass, WindowProc<TrayApp>, CS_HREDRAW | CS_VREDRAW,
                                 static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)),
                                 LoadCursorW(nullptr, IDC_ARROW),
                                 LoadIconW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM))) ||
        CreateWindowExW(/*exStyle*/ 0, kSenderWindowClass, kSenderCaption, WS_OVERLAPPEDWINDOW,
                        /*x*/ 0, /*y*/ 0, CW_USEDEFAULT, CW_USEDEFAULT, /*parent*/ nullptr,
                        /*menu*/ nullptr, instance_, /*param*/ this) == nullptr) {
        ShowMessage(L"ウィンドウの作成に失敗しました");
        return false;
    }
    ShowWindow(hwnd_, SW_HIDE);

    PrivateProfile file(settingsPath_, kSenderSettingsSection);
    LoadSenderSettings(file, settings_);

    ShowTrayIcon();
    return true;
}

int TrayApp::Run() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_INTERNET_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    if (!CreateWindowAndIcon()) return 0;

    // "終了" also ends a broadcast that a double-click during the dialog has started.
    startUpDialogOpen_ = true;
    const INT_PTR result = ShowSettingsDialog(true);
    startUpDialogOpen_ = false;
    if (result != IDOK) return End(0);
    SaveSettings();
    SetChannelTip();
    // A double-click during the dialog may have started a broadcast on the settings from before.
    if (broadcaster_.broadcasting()) ReopenSenderSocket();
    PostMessageW(hwnd_, WM_COMMAND, ID_START, 0);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return End(static_cast<int>(message.wParam));
}

int TrayApp::End(int exitCode) {
    RemoveTrayIcon();
    DestroyWindow(hwnd_);
    // The broadcast thread uses this object: let it end before the object goes. One blocked on
    // its network-failure message would keep it; the process then ends around it.
    broadcaster_.Stop();
    for (int waited = 0; broadcaster_.threadRunning(); waited += 10) {
        if (waited >= kExitWaitMs) ExitProcess(static_cast<UINT>(exitCode));
        Sleep(10);
    }
    return exitCode;
}

UniqueMenu TrayApp::LoadTrayMenu() const {
    UniqueMenu menu(LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    if (!menu) return menu;
    HMENU popup = GetSubMenu(menu.get(), 0);
    const bool broadcasting = broadcaster_.broadcasting();
    EnableMenuItem(popup, ID_START,
                   MF_BYCOMMAND | (broadcasting || settingsDialogOpen_ ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(popup, ID_STOP, MF_BYCOMMAND | (broadcasting ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(
        popup, ID_SETTINGS,
        MF_BYCOMMAND | (settingsDialogOpen_ || startUpDialogOpen_ ? MF_GRAYED : MF_ENABLED));
    return menu;
}

LRESULT TrayApp::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            taskbarCreatedMessage_ = RegisterWindowMessageW(L"TaskbarCreated");
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case kTrayNotifyMessage:
            OnTrayNotify(static_cast<UINT>(lParam));
            return 0;
        case kBroadcastStateMessage:
            OnBroadcastState(static_cast<BroadcastState>(wParam), lParam != 0);
            return 0;
        case kMonitorFallbackMessage:
            OnMonitorFallback(wParam != 0);
            return 0;
        case WM_CLOSE:
            OnExit();
            return 0;
        case WM_ENDSESSION:
            // The session ends without "終了": keep what the user chose.
            if (wParam != FALSE) SaveSettings();
            return 0;
        case WM_TIMER:
            if (wParam == kAddIconTimer) ShowTrayIcon();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    if (message == taskbarCreatedMessage_ && message != 0) {
        // The notification area was rebuilt: the icon comes back as at start-up.
        channelInTip_ = false;
        iconShown_ = false;
        ShowTrayIcon();
        return 0;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void TrayApp::OnCommand(int id) {
    switch (id) {
        case ID_START:
            StartBroadcast();
            break;
        case ID_STOP:
            broadcaster_.Stop();
            break;
        case ID_SETTINGS:
            OnSettings();
            break;
        case ID_HELP_TOPICS:
            // A help window that cannot be created shows nothing; the program goes on.
            static_cast<void>(help_.Show(nullptr));
            break;
        case ID_EXIT:
            OnExit();
            break;
    }
}

void TrayApp::StartBroadcast() {
    if (broadcaster_.Start() != 0) ShowMessage(L"配信を開始できませんでした");
}

void TrayApp::OnTrayNotify(UINT mouseMessage) {
    switch (mouseMessage) {
        case WM_LBUTTONDBLCLK:
            if (broadcaster_.broadcasting())
                broadcaster_.Stop();
            else
                StartBroadcast();
            break;
        case WM_RBUTTONDOWN:
            ShowTrayMenu();
            break;
    }
}

void TrayApp::OnBroadcastState(BroadcastState state, bool announce) {
    const bool tipChanges = std::wcscmp(FailureText(state), FailureText(state_)) != 0;
    state_ = state;
    SetTrayIcon(StateIcon(state));
    if (tipChanges) UpdateTip();
    if (!announce) return;
    // A socket that cannot be opened is the one failure told by a message, as before; the loop
    // goes on trying behind it. Any other outage gets one balloon.
    if (state == BroadcastState::kNetworkFailing) {
        ShowMessage(FailureText(state));
    } else {
        ShowBalloon(FailureText(state));
    }
}

void TrayApp::OnMonitorFallback(bool fellBack) {
    monitorFellBack_ = fellBack;
    UpdateTip();
}

HICON TrayApp::StateIcon(BroadcastState state) const {
    switch (state) {
        case BroadcastState::kWaiting:
            return idleIcon_.get();
        case BroadcastState::kSending:
            return sendingIcon_.get();
        case BroadcastState::kCaptureFailing:
        case BroadcastState::kSendFailing:
        case BroadcastState::kNetworkFailing:
            break;
    }
    return errorIcon_.get();
}

void TrayApp::UpdateTip() {
    const std::wstring name = channelInTip_
                                  ? std::wstring(kSenderCaption) + L"(" +
                                        std::to_wstring(settings_.channelIndex.load() + 1) + L"ch)"
                                  : std::wstring(kSenderCaption);
    SetTrayTip(ComposeTrayTip(name, state_,
                              {monitorFellBack_ ? L"選んだ画面がないため主画面を配信中" : L""}));
}

void TrayApp::ShowTrayMenu() {
    const UniqueMenu menu = LoadTrayMenu();
    if (!menu) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    // NOTE: without the foreground the popup would not close when the user clicks elsewhere.
    SetForegroundWindow(hwnd_);
    TrackPopupMenu(GetSubMenu(menu.get(), 0), TPM_RIGHTALIGN, cursor.x, cursor.y, 0, hwnd_,
                   nullptr);
    SendMessageW(hwnd_, WM_NULL, 0, 0);
}

void TrayApp::OnSettings() {
    if (settingsDialogOpen_ || startUpDialogOpen_) return;  // one settings dialog at a time
    settingsDialogOpen_ = true;
    const INT_PTR result = ShowSettingsDialog(false);
    settingsDialogOpen_ = false;
    if (result != IDOK) return;
    SaveSettings();
    SetChannelTip();
    ReopenSenderSocket();
}

INT_PTR TrayApp::ShowSettingsDialog(bool firstStart) {
    return SettingsDialog(settings_, firstStart,
                          MonitorChoices(listMonitors_(), VirtualDesktop(), settings_.monitor))
        .Show(instance_, hwnd_);
}

void TrayApp::ReopenSenderSocket() {
    // One step for a broadcast that may be sending: its next datagram goes to the new channel.
    if (OpenSenderSocket(settings_) != 0) {
        ShowMessage(L"ネットワークの初期化に失敗しました");
    }
}

void TrayApp::SetChannelTip() {
    channelInTip_ = true;
    UpdateTip();
}

void TrayApp::OnExit() {
    help_.Close();
    SaveSettings();
    RemoveTrayIcon();
    PostQuitMessage(0);
}

void TrayApp::ShowTrayIcon() {
    if (iconShown_) return;
    iconShown_ = AddTrayIcon();
    if (!iconShown_) {
        SetTimer(hwnd_, kAddIconTimer, kAddIconRetryMs, nullptr);
        return;
    }
    KillTimer(hwnd_, kAddIconTimer);
    // What happened while there was no icon: the channel once chosen, a failure that lasts.
    if (state_ != BroadcastState::kWaiting) SetTrayIcon(StateIcon(state_));
    if (channelInTip_ || Failing(state_) || monitorFellBack_) UpdateTip();
}

bool TrayApp::AddTrayIcon() {
    NOTIFYICONDATAW data = IconData(hwnd_, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = kTrayNotifyMessage;
    data.hIcon = idleIcon_.get();
    wcsncpy(data.szTip, kSenderCaption, 63);
    return notifyIcon_(NIM_ADD, &data) != FALSE;
}

void TrayApp::SetTrayTip(const std::wstring& tip) {
    NOTIFYICONDATAW data = IconData(hwnd_, NIF_TIP);
    wcsncpy(data.szTip, tip.c_str(), 63);
    notifyIcon_(NIM_MODIFY, &data);
}

void TrayApp::SetTrayIcon(HICON icon) {
    NOTIFYICONDATAW data = IconData(hwnd_, NIF_ICON);
    data.hIcon = icon;
    notifyIcon_(NIM_MODIFY, &data);
}

void TrayApp::ShowBalloon(const wchar_t* text) {
    NOTIFYICONDATAW data = IconData(hwnd_, NIF_INFO);
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;  // the first layout with a balloon
    wcsncpy(data.szInfo, text, 255);
    wcsncpy(data.szInfoTitle, kSenderCaption, 63);
    data.dwInfoFlags = NIIF_WARNING;
    notifyIcon_(NIM_MODIFY, &data);
}

void TrayApp::RemoveTrayIcon() {
    NOTIFYICONDATAW data = IconData(hwnd_, 0);
    notifyIcon_(NIM_DELETE, &data);
}

void TrayApp::SaveSettings() {
    PrivateProfile file(settingsPath_, kSenderSettingsSection);
    SaveSenderSettings(file, settings_);
}

void TrayApp::ShowMessage(const wchar_t* text) {
    MessageBoxW(nullptr, text, kSenderCaption, MB_OK | MB_ICONWARNING);
}

}  // namespace telvo
