#include "viewer/display/ControlPanel_win.h"

#include <cwchar>
#include <iterator>

#include "viewer/res/resource.h"

namespace telvo {
namespace {

constexpr int kIconSize = 20;

// Every button of the panel but its place, which the dialog resource gives: the command it sends
// to the frame, its icon, its tooltip and what its pressed look shows.
struct PanelButton {
    int id;
    int command;
    int icon;
    const wchar_t* tip;         // "%d" takes the channel number
    const wchar_t* pressedTip;  // while pressed, when it differs: the action the button takes now
    int channel;                // 1 to 5: pressed while that channel is shown; 0: not a channel
    bool fullScreen;            // pressed while full screen is on
};

constexpr wchar_t kChannelTip[] = L"%d ﾁｬﾝﾈﾙに切り替える";
constexpr PanelButton kButtons[] = {
    {IDC_CHANNEL1, ID_CHANNEL1, IDI_CHANNEL1, kChannelTip, nullptr, 1, false},
    {IDC_CHANNEL2, ID_CHANNEL2, IDI_CHANNEL2, kChannelTip, nullptr, 2, false},
    {IDC_CHANNEL3, ID_CHANNEL3, IDI_CHANNEL3, kChannelTip, nullptr, 3, false},
    {IDC_CHANNEL4, ID_CHANNEL4, IDI_CHANNEL4, kChannelTip, nullptr, 4, false},
    {IDC_CHANNEL5, ID_CHANNEL5, IDI_CHANNEL5, kChannelTip, nullptr, 5, false},
    {IDC_SAVE, ID_SAVE, IDI_SAVE, L"現在の画面を保存する", nullptr, 0, false},
    {IDC_MEMO, ID_MEMO, IDI_MEMO, L"現在の画面をﾒﾓに取る", nullptr, 0, false},
    {IDC_FULL_SCREEN, ID_VIEW_FULL_SCREEN, IDI_FULL_SCREEN, L"全画面表示にする", L"通常表示に戻す",
     0, true},
};
static_assert(std::size(kButtons) == kPanelButtonCount, "an icon for every button");

const PanelButton* FindButton(int id) {
    for (const PanelButton& button : kButtons) {
        if (button.id == id) return &button;
    }
    return nullptr;
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
    for (std::size_t i = 0; i < kPanelButtonCount; ++i) {
        SetIcon(kButtons[i].id, kButtons[i].icon, &icons_[i]);
    }

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
    if (const PanelButton* button = FindButton(id)) {
        if (code == BN_CLICKED) {
            SendMessageW(owner, WM_COMMAND, button->command, reinterpret_cast<LPARAM>(hwnd_));
        }
        return true;
    }
    // Commands of the panel's accelerator keys: the frame's commands.
    SendMessageW(owner, WM_COMMAND, wParam, lParam);
    return true;
}

void CControlPanel::OnNeedText(NMTTDISPINFOW* info) const {
    if ((info->uFlags & TTF_IDISHWND) == 0) return;
    const HWND control = reinterpret_cast<HWND>(info->hdr.idFrom);
    const PanelButton* button = FindButton(GetDlgCtrlID(control));
    if (button == nullptr) return;
    // Named each time the tip appears.
    const bool pressed =
        (SendMessageW(control, BM_GETSTATE, 0, 0) & (BST_CHECKED | BST_INDETERMINATE)) != 0;
    const wchar_t* text =
        pressed && button->pressedTip != nullptr ? button->pressedTip : button->tip;
    std::swprintf(info->szText, std::size(info->szText), text, button->channel);
}

void CControlPanel::EnableSaveAndMemo(bool enable) {
    EnableWindow(GetDlgItem(hwnd_, IDC_SAVE), enable);
    EnableWindow(GetDlgItem(hwnd_, IDC_MEMO), enable);
}

void CControlPanel::LoadControls() {
    if (hwnd_ == nullptr) return;
    for (const PanelButton& button : kButtons) {
        if (button.channel == 0 && !button.fullScreen) continue;
        const bool pressed =
            button.fullScreen ? fullScreenCheck == 1 : button.channel - 1 == channelRadio;
        CheckDlgButton(hwnd_, button.id, pressed ? BST_CHECKED : BST_UNCHECKED);
    }
}

void CControlPanel::SaveControls() {
    channelRadio = -1;
    for (const PanelButton& button : kButtons) {
        const bool pressed = IsDlgButtonChecked(hwnd_, button.id) == BST_CHECKED;
        if (button.fullScreen) fullScreenCheck = pressed ? 1 : 0;
        if (button.channel != 0 && pressed) channelRadio = button.channel - 1;
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
