#include "sender/TrayApp_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>

#include "sender/SenderHelpText.h"
#include "sender/SenderProfile.h"
#include "sender/SenderSocket.h"
#include "sender/SettingsDialog_win.h"
#include "sender/res/resource.h"
#include "win/PrivateProfile_win.h"

namespace telvo {
namespace {

// The broadcast thread waits this long at most for the program to end it at exit.
constexpr int kExitWaitMs = 2000;

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
                 NotifyIconCall notifyIcon)
    : instance_(instance),
      settingsPath_(std::move(settingsPath)),
      notifyIcon_(notifyIcon),
      host_([this](bool sending) {
          SetTrayIcon(sending ? sendingIcon_.get() : idleIcon_.get());
          KeepTipCurrent();  // the broadcast thread opens and closes the socket
      }),
      broadcaster_(settings_, host_, startThread),
      help_(kSenderHelpCaption, kSenderHelpText) {}

TrayApp::~TrayApp() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool TrayApp::CreateWindowAndIcon() {
    idleIcon_.reset(LoadTrayIcon(instance_, IDI_IDLE));
    sendingIcon_.reset(LoadTrayIcon(instance_, IDI_SENDING));

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

    if (!AddTrayIcon()) {
        ShowMessage(L"アイコンの追加に失敗しました");
        return false;
    }
    return true;
}

int TrayApp::Run() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_INTERNET_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    if (!CreateWindowAndIcon()) return 0;

    // "終了" also ends a broadcast that a double-click during the dialog has started.
    if (SettingsDialog(settings_, true).Show(instance_, hwnd_) != IDOK) return End(0);
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
        case WM_CLOSE:
            OnExit();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    if (message == taskbarCreatedMessage_ && message != 0) {
        // The notification area was rebuilt. Should the icon not come back, the program goes on
        // without it, as it would before any rebuild: the next one tries again.
        static_cast<void>(AddTrayIcon());
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
    settingsDialogOpen_ = true;
    const INT_PTR result = SettingsDialog(settings_, false).Show(instance_, hwnd_);
    settingsDialogOpen_ = false;
    if (result != IDOK) return;
    SaveSettings();
    ReopenSenderSocket();
    SetChannelTip();
}

void TrayApp::ReopenSenderSocket() {
    // One step for a broadcast that may be sending: its next datagram goes to the new channel.
    if (OpenSenderSocket(settings_.toAddress,
                         ChannelPort(settings_.basePort, settings_.channelIndex.load()),
                         settings_.interfaceAddress.load(), settings_.ttl.load()) != 0) {
        ShowMessage(L"ネットワークの初期化に失敗しました");
    }
}

void TrayApp::SetChannelTip() {
    const bool fallback = SenderAdapterMissing();
    tipShowsFallback_ = fallback;
    SetTrayTip(std::wstring(kSenderCaption) + L"(" +
               std::to_wstring(settings_.channelIndex.load() + 1) + L"ch)" +
               (fallback ? kInterfaceFallbackNote : L""));
}

void TrayApp::KeepTipCurrent() {
    if (SenderAdapterMissing() != tipShowsFallback_.load()) SetChannelTip();
}

void TrayApp::OnExit() {
    help_.Close();
    SaveSettings();
    RemoveTrayIcon();
    PostQuitMessage(0);
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
