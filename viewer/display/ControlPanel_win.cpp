#include "viewer/display/ControlPanel_win.h"

#include <cwchar>

#include "viewer/res/resource.h"

namespace telvo {
namespace {

constexpr int kIconSize = 20;
static_assert(IDC_CHANNEL5 - IDC_CHANNEL1 + 1 == kChannelCount, "a button for every channel");

// The command each button sends to the frame.
int CommandOfButton(int id) {
    if (id >= IDC_CHANNEL1 && id <= IDC_CHANNEL5) return ID_CHANNEL1 + (id - IDC_CHANNEL1);
    switch (id) {
        case IDC_SAVE:
            return ID_SAVE;
        case IDC_MEMO:
            return ID_MEMO;
        case IDC_FULL_SCREEN:
            return ID_VIEW_FULL_SCREEN;
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
    return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONTROL_PANEL),
                              parent, DialogProc<CControlPanel>,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

INT_PTR CControlPanel::OnDialogMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SHOWWINDOW:
            LoadControls();
            return FALSE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam), wParam, lParam);
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == TTN_GETDISPINFOW) {
                OnNeedText(reinterpret_cast<NMTTDISPINFOW*>(lParam));
            }
            return TRUE;
        }
        case WM_NCDESTROY:
            hwnd_ = nullptr;
            return FALSE;
        default:
            return FALSE;
    }
}

void CControlPanel::OnInit(HWND dialog) {
    hwnd_ = dialog;
    LoadControls();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    panelAccelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    for (int i = 0; i < static_cast<int>(kChannelCount); ++i) {
        SetIcon(IDC_CHANNEL1 + i, IDI_CHANNEL1 + i, &channelIcons_[i]);
    }
    SetIcon(IDC_SAVE, IDI_SAVE, &saveIcon_);
    SetIcon(IDC_MEMO, IDI_MEMO, &memoIcon_);
    SetIcon(IDC_FULL_SCREEN, IDI_FULL_SCREEN, &fullScreenIcon_);
    fullScreenButton_ = GetDlgItem(hwnd_, IDC_FULL_SCREEN);
    saveButton_ = GetDlgItem(hwnd_, IDC_SAVE);
    memoButton_ = GetDlgItem(hwnd_, IDC_MEMO);

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

// `wParam` and `lParam` as they came: commands of the panel's accelerator keys go on unchanged.
bool CControlPanel::OnCommand(int id, int code, WPARAM wParam, LPARAM lParam) {
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
        if (code == BN_CLICKED) {
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
    if (id >= IDC_CHANNEL1 && id <= IDC_CHANNEL5) {
        std::swprintf(info->szText, sizeof info->szText / sizeof info->szText[0],
                      L"%d ﾁｬﾝﾈﾙに切り替える", id - IDC_CHANNEL1 + 1);
        return;
    }
    switch (id) {
        case IDC_SAVE:
            text = L"現在の画面を保存する";
            break;
        case IDC_MEMO:
            text = L"現在の画面をﾒﾓに取る";
            break;
        case IDC_FULL_SCREEN:
            // Named each time the tip appears: the action the button would take now.
            text = (SendMessageW(fullScreenButton_, BM_GETSTATE, 0, 0) &
                    (BST_CHECKED | BST_INDETERMINATE)) != 0
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
    CheckDlgButton(hwnd_, IDC_FULL_SCREEN, fullScreenCheck == 1 ? BST_CHECKED : BST_UNCHECKED);
    for (int i = 0; i < static_cast<int>(kChannelCount); ++i) {
        CheckDlgButton(hwnd_, IDC_CHANNEL1 + i, i == channelRadio ? BST_CHECKED : BST_UNCHECKED);
    }
}

void CControlPanel::SaveControls() {
    fullScreenCheck = IsDlgButtonChecked(hwnd_, IDC_FULL_SCREEN) == BST_CHECKED ? 1 : 0;
    channelRadio = -1;
    for (int i = 0; i < static_cast<int>(kChannelCount); ++i) {
        if (IsDlgButtonChecked(hwnd_, IDC_CHANNEL1 + i) == BST_CHECKED) channelRadio = i;
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
