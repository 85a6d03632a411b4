#include "viewer/app/MainFrame_win.h"

#include "viewer/app/ViewerApp_win.h"
#include "viewer/display/ViewGeometry.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

constexpr wchar_t kFrameClass[] = L"CMainFrame";

constexpr wchar_t kHelpCaption[] = L"TelvoClient ﾍﾙﾌﾟ";
constexpr wchar_t kHelpText[] =
    L"TelvoClient は、同じネットワークの TelvoServer が送る画面を表示します。\r\n"
    L"\r\n"
    L"ﾁｬﾝﾈﾙ\r\n"
    L"  ﾒﾆｭｰ「ﾁｬﾝﾈﾙ」または Alt+1～Alt+5 で 1ch～5ch を切り替えます。\r\n"
    L"  送信側と同じﾁｬﾝﾈﾙを選んでください。選んだﾁｬﾝﾈﾙは次回も使われます。\r\n"
    L"  ﾀｲﾄﾙﾊﾞｰにﾁｬﾝﾈﾙと表示中の画像の番号 [No.n] が出ます。\r\n"
    L"\r\n"
    L"表示\r\n"
    L"  縦横比を固定: 画像の縦横比を保ったまま、ｳｨﾝﾄﾞｳに収まる大きさで表示します。\r\n"
    L"  元のｻｲｽﾞ: 画像を等倍で表示します。左ﾎﾞﾀﾝでﾄﾞﾗｯｸﾞすると画像を動かせます。\r\n"
    L"  ｳｨﾝﾄﾞｳに合わせる: 画像をｳｨﾝﾄﾞｳ全体に引き伸ばして表示します。\r\n"
    L"\r\n"
    L"設定\r\n"
    L"  設定は実行ﾌｧｲﾙと同じﾌｫﾙﾀﾞの TelvoClient.ini に保存されます。\r\n"
    L"  ToAddress はﾏﾙﾁｷｬｽﾄ ｸﾞﾙｰﾌﾟ、BasePort は 1ch のﾎﾟｰﾄ番号です。\r\n"
    L"\r\n"
    L"終了\r\n"
    L"  ﾒﾆｭｰ「ﾌｧｲﾙ」の「ｱﾌﾟﾘｹｰｼｮﾝの終了」、Alt+F4、または閉じるﾎﾞﾀﾝで終了します。\r\n";

void ApplyCommandState(HMENU menu, int position, const CommandState& state) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STATE;
    if (!GetMenuItemInfoW(menu, position, TRUE, &item)) return;
    item.fType = state.radio ? item.fType | MFT_RADIOCHECK : item.fType & ~MFT_RADIOCHECK;
    item.fState &= ~(MFS_DISABLED | MFS_CHECKED);
    if (!state.enabled) item.fState |= MFS_DISABLED;
    if (state.checked) item.fState |= MFS_CHECKED;
    SetMenuItemInfoW(menu, position, TRUE, &item);
}

// The height the frame's menu bar takes beyond the one line AdjustWindowRect counts: a narrow
// frame wraps it onto more lines.
int WrappedMenuHeight(HWND frame) {
    RECT window{};
    RECT client{};
    RECT oneLine{0, 0, 0, 0};
    if (IsIconic(frame) || !GetWindowRect(frame, &window) || !GetClientRect(frame, &client))
        return 0;
    AdjustWindowRect(&oneLine, static_cast<DWORD>(GetWindowLongW(frame, GWL_STYLE)), TRUE);
    const int extra = (window.bottom - window.top - client.bottom) - (oneLine.bottom - oneLine.top);
    return extra > 0 ? extra : 0;
}

}  // namespace

CMainFrame::CMainFrame(ViewerApp& app)
    : app_(app),
      help_(kHelpCaption, kHelpText),
      view_(
          app.settings(), app.settings(), [&app] { app.SaveSettings(); },
          [this] { UpdateTitle(); }) {}

bool CMainFrame::Create() {
    // No class cursor: the view covers the client area and sets its own.
    if (!RegisterWindowClassOnce(kFrameClass, WindowProc<CMainFrame>, 0, /*background*/ nullptr,
                                 /*cursor*/ nullptr)) {
        return false;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    accelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    UniqueMenu menu(LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME)));
    const std::wstring caption = ResourceText(IDR_MAINFRAME);
    const HWND frame = CreateWindowExW(
        /*exStyle*/ 0, kFrameClass, caption.c_str(), WS_OVERLAPPEDWINDOW, /*x*/ CW_USEDEFAULT,
        /*y*/ CW_USEDEFAULT, /*width*/ CW_USEDEFAULT, /*height*/ CW_USEDEFAULT,
        /*parent*/ nullptr, menu.get(), instance, this);
    // Once the window existed it owned the menu and destroys it with itself, even when its
    // creation failed afterwards.
    if (windowMade_) static_cast<void>(menu.release());
    return frame != nullptr;
}

bool CMainFrame::TranslateAccelerators(MSG* message) {
    return hwnd_ != nullptr && TranslateAcceleratorW(hwnd_, accelerators_, message) != 0;
}

LRESULT CMainFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate() ? 0 : -1;
        case WM_SIZE:
            // A minimized frame keeps its view and its layout as they were.
            if (wParam != SIZE_MINIMIZED) OnSize(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_ENABLE:
            OnEnable(wParam != FALSE);
            return 0;
        case WM_SETFOCUS:
            SetFocus(view_.hwnd());
            return 0;
        case WM_GETMINMAXINFO:
            DefWindowProcW(hwnd_, message, wParam, lParam);
            OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_COMMAND:
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_INITMENUPOPUP:
            if (HIWORD(lParam) == 0) OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

bool CMainFrame::OnCreate() {
    if (!view_.Create(hwnd_)) return false;
    smallIcon_.reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
    SelectChannel(app_.settings().channelIndex);
    return true;
}

// A modal box or dialog owned by the frame disables it; the panel, which would otherwise go on
// sending commands under the box, follows.
void CMainFrame::OnEnable(bool enabled) {
    if (view_.panel().hwnd() != nullptr) EnableWindow(view_.panel().hwnd(), enabled);
}

void CMainFrame::OnSize(int width, int height) {
    MoveWindow(view_.hwnd(), 0, 0, width, height, TRUE);
}

// In actual size the frame cannot be made larger than the size that shows the whole picture.
void CMainFrame::OnGetMinMaxInfo(MINMAXINFO* info) {
    const ViewerSettings& settings = app_.settings();
    if (settings.fullScreen != 0 || settings.viewMode != ViewMode::kActualSize) return;
    if (view_.hwnd() == nullptr) return;
    std::int64_t width = 0;
    std::int64_t height = 0;
    {
        const ShownPicture picture = view_.PictureOnShow();
        width = picture.layout().width;
        height = picture.layout().height;
    }
    if (width == 0) return;
    const int edgeX = GetSystemMetrics(SM_CXEDGE);
    const int edgeY = GetSystemMetrics(SM_CYEDGE);
    RECT outer{-edgeX, -edgeY, ClampToCoordinate(width + edgeX), ClampToCoordinate(height + edgeY)};
    AdjustWindowRect(&outer, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), TRUE);
    info->ptMaxTrackSize.x = ClampToCoordinate(std::int64_t{outer.right} - outer.left);
    info->ptMaxTrackSize.y =
        ClampToCoordinate(std::int64_t{outer.bottom} - outer.top + WrappedMenuHeight(hwnd_));
}

void CMainFrame::OnCommand(int id) {
    if (view_.OnCommand(id)) return;
    if (id >= ID_CHANNEL1 && id <= ID_CHANNEL5) {
        SelectChannel(id - ID_CHANNEL1);
        return;
    }
    if (id == ID_HELP_TOPICS) {
        // A help window that cannot be created shows nothing; the program goes on.
        static_cast<void>(help_.Show(hwnd_));
        return;
    }
    app_.OnCommand(hwnd_, id);
}

bool CMainFrame::UpdateCommandState(int id, CommandState* state) const {
    if (view_.UpdateCommand(id, state)) return true;
    if (id >= ID_CHANNEL1 && id <= ID_CHANNEL5) {
        state->radio = true;
        state->checked = id - ID_CHANNEL1 == app_.settings().channelIndex;
        return true;
    }
    if (id == ID_HELP_TOPICS) return true;  // always enabled
    return app_.UpdateCommand(id, state);
}

void CMainFrame::OnInitMenuPopup(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        const UINT id = GetMenuItemID(menu, position);
        if (id == 0 || id == static_cast<UINT>(-1)) continue;  // separator or submenu
        CommandState state;
        if (UpdateCommandState(static_cast<int>(id), &state)) {
            ApplyCommandState(menu, position, state);
        }
    }
}

void CMainFrame::OnClose() {
    help_.Close();
    DestroyWindow(hwnd_);
}

}  // namespace telvo
