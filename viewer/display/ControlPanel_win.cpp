#include "viewer/display/ControlPanel_win.h"

#include <cwchar>

#include "viewer/app/ViewerCommands.h"

namespace telvo {
namespace {

constexpr int kIconSize = 20;

// The buttons, left to right, with the command each sends to the frame.
constexpr int kChannelButton1 = 1005;
constexpr int kChannelButton5 = 1009;
constexpr int kSaveButton = 1010;
constexpr int kMemoButton = 1011;
constexpr int kFullScreenButton = 1013;
constexpr int kChannelButtonToCommand = kCommandChannel1 - kChannelButton1;  // 31772

int CommandOfButton(int id) {
    if (id >= kChannelButton1 && id <= kChannelButton5) return id + kChannelButtonToCommand;
    switch (id) {
        case kSaveButton:
            return kCommandSave;
        case kMemoButton:
            return kCommandMemo;
        case kFullScreenButton:
            return kCommandFullScreen;
        default:
            return 0;
    }
}

}  // namespace

CControlPanel::~CControlPanel() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool CControlPanel::Create(HWND parent) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kControlPanelDialog),
                              parent, DialogProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR CALLBACK CControlPanel::DialogProc(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CControlPanel*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        self->hwnd_ = dialog;
        self->OnInit();
        return TRUE;  // the system sets the focus
    }
    auto* self = reinterpret_cast<CControlPanel*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    switch (message) {
        case WM_SHOWWINDOW:
            self->LoadControls();
            return FALSE;
        case WM_COMMAND:
            return self->OnCommand(wParam, lParam);
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == TTN_GETDISPINFOW) {
                self->OnNeedText(reinterpret_cast<NMTTDISPINFOW*>(lParam));
            }
            return TRUE;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
            self->hwnd_ = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void CControlPanel::OnInit() {
    LoadControls();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    panelAccelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(kMainFrameResource));
    for (int i = 0; i < 5; ++i) {
        SetIcon(kChannelButton1 + i, kChannelIcon1 + i, &channelIcons_[i]);
    }
    SetIcon(kSaveButton, kSaveIcon, &saveIcon_);
    SetIcon(kMemoButton, kMemoIcon, &memoIcon_);
    SetIcon(kFullScreenButton, kFullScreenIcon, &fullScreenIcon_);
    fullScreenButton_ = GetDlgItem(hwnd_, kFullScreenButton);
    saveButton_ = GetDlgItem(hwnd_, kSaveButton);
    memoButton_ = GetDlgItem(hwnd_, kMemoButton);

    // One tool per button, known by its window; the texts are asked for when a tip appears.
    const HWND tips = CreateWindowExW(
        /*exStyle*/ WS_EX_TOPMOST, TOOLTIPS_CLASSW, /*title*/ nullptr, WS_POPUP | TTS_ALWAYSTIP,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, /*owner*/ hwnd_,
        /*menu*/ nullptr, instance, /*param*/ nullptr);
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = hwnd_;
        tool.uId = reinterpret_cast<UINT_PTR>(child);
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CControlPanel::SetIcon(int buttonId, int iconId, UniqueIcon* icon) {
    icon->reset(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId),
                                              IMAGE_ICON, kIconSize, kIconSize, LR_DEFAULTCOLOR)));
    SendDlgItemMessageW(hwnd_, buttonId, BM_SETIMAGE, IMAGE_ICON,
                        reinterpret_cast<LPARAM>(icon->get()));
}

bool CControlPanel::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    switch (id) {
        case IDOK:
            SaveControls();
            ShowWindow(hwnd_, SW_HIDE);
            return true;
        case IDCANCEL:
            ShowWindow(hwnd_, SW_HIDE);
            return true;
        default:
            break;
    }
    // GetParent of a pop-up is its owner, the frame; it offers the command to the view.
    const HWND owner = GetParent(hwnd_);
    const int command = CommandOfButton(id);
    if (command != 0) {
        if (HIWORD(wParam) == BN_CLICKED) {
            SendMessageW(owner, WM_COMMAND, command, reinterpret_cast<LPARAM>(hwnd_));
        }
        return true;
    }
    // Commands of the panel's accelerator keys: the frame's commands.
    SendMessageW(owner, WM_COMMAND, wParam, lParam);
    return true;
}

void CControlPanel::OnNeedText(NMTTDISPINFOW* info) const {
    if ((info->uFlags & TTF_IDISHWND) == 0) return;
    const int id = GetDlgCtrlID(reinterpret_cast<HWND>(info->hdr.idFrom));
    const wchar_t* text = nullptr;
    if (id >= kChannelButton1 && id <= kChannelButton5) {
        std::swprintf(info->szText, sizeof info->szText / sizeof info->szText[0],
                      L"%d ﾁｬﾝﾈﾙに切り替える", id - 1004);
        return;
    }
    switch (id) {
        case kSaveButton:
            text = L"現在の画面を保存する";
            break;
        case kMemoButton:
            text = L"現在の画面をﾒﾓに取る";
            break;
        case kFullScreenButton:
            // Named each time the tip appears: the action the button would take now.
            text = (SendMessageW(fullScreenButton_, BM_GETSTATE, 0, 0) & 3) != 0
                       ? L"通常表示に戻す"
                       : L"全画面表示にする";
            break;
        default:
            return;
    }
    wcsncpy(info->szText, text, sizeof info->szText / sizeof info->szText[0] - 1);
}

void CControlPanel::EnableSaveAndMemo(bool enable) {
    EnableWindow(saveButton_, enable);
    EnableWindow(memoButton_, enable);
}

void CControlPanel::LoadControls() {
    if (hwnd_ == nullptr) return;
    CheckDlgButton(hwnd_, kFullScreenButton, fullScreenCheck == 1 ? BST_CHECKED : BST_UNCHECKED);
    for (int i = 0; i < 5; ++i) {
        CheckDlgButton(hwnd_, kChannelButton1 + i, i == channelRadio ? BST_CHECKED : BST_UNCHECKED);
    }
}

void CControlPanel::SaveControls() {
    fullScreenCheck = IsDlgButtonChecked(hwnd_, kFullScreenButton) == BST_CHECKED ? 1 : 0;
    channelRadio = -1;
    for (int i = 0; i < 5; ++i) {
        if (IsDlgButtonChecked(hwnd_, kChannelButton1 + i) == BST_CHECKED) channelRadio = i;
    }
}

void CControlPanel::ToggleAt(HWND frame) {
    if (IsWindowVisible(hwnd_)) {
        ShowWindow(hwnd_, SW_HIDE);
        return;
    }
    POINT corner{0, 0};
    ClientToScreen(frame, &corner);
    SetWindowPos(hwnd_, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(hwnd_, SW_SHOW);
}

// NOTE: an owned window belongs above its owner, but Wine does not keep it there: a frame moved to
// the top (or into the topmost band) would cover the panel.
void CControlPanel::KeepAbove(HWND frame) {
    const auto topmost = [](HWND window) {
        return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    };
    const HWND band = topmost(frame) ? HWND_TOPMOST : topmost(hwnd_) ? HWND_NOTOPMOST : HWND_TOP;
    SetWindowPos(hwnd_, band, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

bool CControlPanel::PreTranslateMessage(MSG* message) {
    if (hwnd_ == nullptr || (message->hwnd != hwnd_ && !IsChild(hwnd_, message->hwnd))) {
        return false;
    }
    if (TranslateAcceleratorW(hwnd_, panelAccelerators_, message) != 0) return true;
    return IsDialogMessageW(hwnd_, message) != 0;
}

}  // namespace telvo
