#include "viewer/display/ScreenView_win.h"

#include <shellapi.h>
#include <windowsx.h>

#include <ctime>
#include <string>

#include "protocol/ScreenBitmap.h"
#include "viewer/app/ViewerApp_win.h"
#include "viewer/app/WindowTitle.h"
#include "viewer/display/BoxScale.h"
#include "viewer/display/ViewGeometry.h"
#include "viewer/save/PictureWriter_win.h"
#include "viewer/save/SaveSettingsDialog_win.h"
#include "viewer/save/ShellExecuteErrorText.h"

namespace telvo {
namespace {

constexpr wchar_t kViewClass[] = L"CScreenView";

// The group text for the socket layer. A character outside ASCII cannot be part of a dotted
// address; it becomes one that makes the address fail to parse.
std::string AsciiAddress(const std::wstring& text) {
    std::string address;
    for (const wchar_t c : text) address += c < 0x80 ? static_cast<char>(c) : '?';
    return address;
}

constexpr wchar_t kSaveCaption[] = L"現在の画面を保存";
constexpr wchar_t kMemoCaption[] = L"ﾒﾓを取る";
constexpr wchar_t kContinuousSaveCaption[] = L"連続保存";

// A stored interval below 1 second (a hand-edited file) counts as none: continuous save would
// otherwise write a file every pass.
bool IntervalSet(std::int32_t saveInterval) {
    return saveInterval >= 1;
}

}  // namespace

CScreenView::CScreenView(ViewerApp& app)
    : app_(app),
      continuousSave_(
          receiver_.sharedStore(),
          [store = receiver_.sharedStore()](const std::wstring& folder) {
              return !WriteCurrentPicture(*store, SaveKind::kContinuous, folder).empty();
          },
          [] { return static_cast<std::uint32_t>(std::time(nullptr)); }) {}

bool CScreenView::Create(HWND frame) {
    if (!RegisterWindowClassOnce(kViewClass, WindowProc<CScreenView>,
                                 CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
                                 reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1))) {
        return false;
    }
    return CreateWindowExW(WS_EX_CLIENTEDGE, kViewClass, /*title*/ nullptr, WS_CHILD | WS_VISIBLE,
                           /*x*/ 0, /*y*/ 0, /*width*/ 0, /*height*/ 0, frame,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewChildId)),
                           GetModuleHandleW(nullptr), this) != nullptr;
}

LRESULT CScreenView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(message, wParam, lParam);
        case WM_PAINT:
            OnPaint();
            return 0;
        case kPictureArrived:
            OnPictureArrived();
            return 0;
        case WM_SIZE:
            DefWindowProcW(hwnd_, message, wParam, lParam);
            OnSize(wParam);
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case WM_LBUTTONDOWN:
            OnLeftButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case WM_LBUTTONUP:
            OnLeftButtonUp();
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case WM_MOUSEMOVE:
            OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam))) return 0;
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

LRESULT CScreenView::OnCreate(UINT message, WPARAM wParam, LPARAM lParam) {
    if (DefWindowProcW(hwnd_, message, wParam, lParam) == -1) return -1;
    frameMenu_.reset(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainFrameResource)));
    if (!panel_.Create(hwnd_)) return -1;
    panel_.EnableSaveAndMemo(false);
    SetViewMode(kCommandFixedAspect);
    SelectChannel(kCommandChannel1 + app_.settings().channelIndex);
    return 0;
}

bool CScreenView::OnCommand(int id) {
    if (id >= kCommandFixedAspect && id <= kCommandFitToWindow) {
        SetViewMode(id);
        return true;
    }
    if (id >= kCommandChannel1 && id <= kCommandChannel5) {
        SelectChannel(id);
        return true;
    }
    switch (id) {
        case kCommandSave:
            SaveCurrentPicture();
            return true;
        case kCommandMemo:
            TakeMemo();
            return true;
        case kCommandContinuousSave:
            ToggleContinuousSave();
            return true;
        case kCommandSaveSettings:
            EditSaveSettings();
            return true;
        case kCommandFullScreen:
            ToggleFullScreen();
            return true;
        case kCommandControlPanel:
            ToggleControlPanel();
            return true;
        default:
            return false;
    }
}

bool CScreenView::UpdateCommand(int id, CommandState* state) const {
    const ViewerSettings& settings = app_.settings();
    if (id >= kCommandFixedAspect && id <= kCommandFitToWindow) {
        state->radio = true;
        state->checked = id - kCommandFixedAspect == static_cast<int>(settings.viewMode);
        return true;
    }
    if (id >= kCommandChannel1 && id <= kCommandChannel5) {
        state->radio = true;
        state->checked = id - kCommandChannel1 == settings.channelIndex;
        return true;
    }
    switch (id) {
        case kCommandFullScreen:
            state->checked = settings.fullScreen != 0;
            return true;
        case kCommandControlPanel:
            state->checked = IsWindowVisible(panel_.hwnd()) != 0;
            return true;
        case kCommandSave:
        case kCommandMemo:
            state->enabled = HasPicture();
            return true;
        case kCommandContinuousSave:
            state->checked = continuousSave_.on();
            return true;
        case kCommandSaveSettings:
            state->enabled = !continuousSave_.on();
            return true;
        default:
            return false;
    }
}

bool CScreenView::HasPicture() const {
    ImageReader image(receiver_.store());
    return image.bytes() != nullptr;
}

void CScreenView::OnPaint() {
    PaintDc paint(hwnd_);
    ImageReader image(receiver_.store());  // held until the picture is drawn
    RECT client{};
    GetClientRect(hwnd_, &client);
    BitmapLayout layout;
    // Published pictures always pass DescribeBitmap; anything else is shown as no picture.
    if (image.bytes() == nullptr || !DescribeBitmap(image.bytes(), image.size(), &layout)) {
        FillRect(paint.get(), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        return;
    }
    const ViewMode mode = app_.settings().viewMode;
    ViewRect to;
    if (!DestinationRect(mode, layout.width, layout.height, client.right, client.bottom,
                         &panOffsetX_, &panOffsetY_, &to)) {
        return;  // a client area of zero width or height in fixed aspect: nothing to draw
    }
    // The picture is scaled here, area-averaged, into a bitmap of the size it is shown at, and
    // the window gets a plain copy. StretchBlt in the default stretch mode ANDs the pixels it
    // drops: dark text turns into blobs and light text on a dark background vanishes.
    const int width = to.right - to.left;
    const int height = to.bottom - to.top;
    if (width <= 0 || height <= 0 || width > static_cast<int>(kMaxScaleSide) ||
        height > static_cast<int>(kMaxScaleSide)) {
        return;  // nothing to draw, or more than the scaling takes
    }
    switch (workBitmap_.Prepare(paint.get(), width, height)) {
        case WorkBitmap::Result::kNoDc:
            ShowPaintError(L"hBitmapDC エラー");
            return;
        case WorkBitmap::Result::kNoBitmap:
            ShowPaintError(L"hWorkBitmap エラー");
            return;
        case WorkBitmap::Result::kReady:
            break;
    }
    GdiFlush();  // the last BitBlt from the bitmap is done before its rows change
    const SourceRows picture{image.bytes() + layout.pixelOffset, layout.width, layout.height,
                             layout.stride};
    if (!BoxScale(picture, workBitmap_.rows())) return;  // a picture side beyond the scaling's
    BitBlt(paint.get(), to.left, to.top, width, height, workBitmap_.dc(), 0, 0, SRCCOPY);
}

// NOTE: runs with imageLock held; the box's message loop may deliver further pictures and
// paints, which enter the lock again on this thread.
void CScreenView::ShowPaintError(const wchar_t* text) {
    MessageBoxW(hwnd_, text, L"エラー", MB_OK);
}

void CScreenView::OnPictureArrived() {
    panel_.EnableSaveAndMemo(true);
    if (!saveSettingsOpen_) LayoutFrame();
    UpdateTitle();
    RepaintNow();
}

void CScreenView::RepaintNow() {
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
}

void CScreenView::OnSize(WPARAM sizeType) {
    if (sizeType != SIZE_MINIMIZED && sizeType != SIZE_MAXIMIZED) LayoutFrame();
}

void CScreenView::OnDestroy() {
    workBitmap_.Release();
    // After full screen the frame shows frameMenu, and destroys it with itself.
    if (GetMenu(GetParent(hwnd_)) == frameMenu_.get()) static_cast<void>(frameMenu_.release());
}

void CScreenView::SetViewMode(int commandId) {
    ViewerSettings& settings = app_.settings();
    settings.viewMode = static_cast<ViewMode>(commandId - kCommandFixedAspect);
    const HWND frame = GetParent(hwnd_);
    const LONG style = GetWindowLongW(frame, GWL_STYLE);
    SetWindowLongW(frame, GWL_STYLE,
                   settings.viewMode == ViewMode::kFixedAspect ? style & ~WS_MAXIMIZEBOX
                                                               : style | WS_MAXIMIZEBOX);
    SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
    panel_.KeepAbove(frame);
    if (settings.viewMode != ViewMode::kActualSize) {
        panOffsetX_ = 0;
        panOffsetY_ = 0;
    }
    // Restoring a frame that is not shown yet (during start-up) would show it early.
    if (settings.viewMode == ViewMode::kFixedAspect && IsWindowVisible(frame)) {
        ShowWindow(frame, SW_RESTORE);
    }
    LayoutFrame();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void CScreenView::SelectChannel(int commandId) {
    ViewerSettings& settings = app_.settings();
    settings.channelIndex = commandId - kCommandChannel1;
    app_.SaveSettings();
    panel_.channelRadio = settings.channelIndex;
    panel_.EnableSaveAndMemo(false);
    panel_.LoadControls();
    // The receive thread calls this after each picture and waits until it returns: a
    // synchronous send, so the picture is painted before the thread goes on. It keeps the
    // window handle, not the view: a late notification to a destroyed window does nothing.
    const HWND hwndView = hwnd_;
    auto notify = [hwndView](const CompletedPicture&) {
        SendMessageW(hwndView, kPictureArrived, 0, 0);
    };
    // A failure leaves the view empty; choosing the channel again retries.
    receiver_.OpenChannel(notify, static_cast<std::uint32_t>(settings.channelIndex),
                          AsciiAddress(settings.toAddress).c_str(), settings.basePort);
    UpdateTitle();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void CScreenView::UpdateTitle() {
    const std::wstring title = FormatWindowTitle(
        app_.settings().channelIndex, receiver_.TitlePictureNumber(), continuousSave_.on());
    SetWindowTextW(GetParent(hwnd_), title.c_str());
}

void CScreenView::OnLeftButtonDown(int x, int y) {
    if (app_.settings().viewMode != ViewMode::kActualSize) return;
    SetCapture(hwnd_);
    savedCursor_ = SetCursor(LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kHandCursor)));
    dragLastX_ = x;
    dragLastY_ = y;
    dragging_ = true;
}

void CScreenView::OnLeftButtonUp() {
    if (app_.settings().viewMode == ViewMode::kActualSize) SetCursor(savedCursor_);
    ReleaseCapture();
    dragging_ = false;
    RepaintNow();
}

void CScreenView::OnMouseMove(int x, int y) {
    if (app_.settings().viewMode == ViewMode::kActualSize && dragging_) {
        // 64-bit, then clamped by the next paint: a long drag cannot overflow the offsets.
        const std::int64_t newX = std::int64_t{panOffsetX_} + (x - dragLastX_);
        const std::int64_t newY = std::int64_t{panOffsetY_} + (y - dragLastY_);
        if (newX != panOffsetX_ || newY != panOffsetY_) {
            panOffsetX_ = ClampToCoordinate(newX);
            panOffsetY_ = ClampToCoordinate(newY);
            RepaintNow();
        }
    }
    dragLastX_ = x;
    dragLastY_ = y;
}

void CScreenView::ShowSaveMessage(const std::wstring& text, const wchar_t* caption, UINT icon) {
    MessageBoxW(hwnd_, text.c_str(), caption, MB_OK | icon);
}

bool CScreenView::AskForSaveSettings(const wchar_t* caption, bool needInterval) {
    const ViewerSettings& settings = app_.settings();
    if (!settings.saveDir.empty() && (!needInterval || IntervalSet(settings.saveInterval))) {
        return true;
    }
    ShowSaveMessage(L"保存先を設定してください。", caption, MB_ICONWARNING);
    EditSaveSettings();
    return !settings.saveDir.empty() && IntervalSet(settings.saveInterval);
}

void CScreenView::SaveCurrentPicture() {
    if (!AskForSaveSettings(kSaveCaption, false)) return;
    const std::wstring path =
        WriteCurrentPicture(receiver_.store(), SaveKind::kSingle, app_.settings().saveDir);
    if (path.empty()) {
        ShowSaveMessage(L"画像の保存に失敗しました。", kSaveCaption, MB_ICONWARNING);
    } else {
        ShowSaveMessage(L"「" + path + L"」に保存しました。", kSaveCaption, MB_ICONINFORMATION);
    }
}

void CScreenView::TakeMemo() {
    if (!AskForSaveSettings(kMemoCaption, false)) return;
    const std::wstring path =
        WriteCurrentPicture(receiver_.store(), SaveKind::kSingle, app_.settings().saveDir);
    if (path.empty()) {
        ShowSaveMessage(L"画像の保存に失敗しました。", kMemoCaption, MB_ICONWARNING);
        return;
    }
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(hwnd_, L"open", path.c_str(), nullptr, nullptr, SW_SHOWDEFAULT));
    if (result <= 32) {
        ShowSaveMessage(
            std::wstring(L"画像の表示に失敗しました。\r\n[") + ShellExecuteErrorText(result) + L"]",
            kMemoCaption, MB_ICONWARNING);
    }
}

void CScreenView::ToggleContinuousSave() {
    if (!AskForSaveSettings(kContinuousSaveCaption, true)) return;
    if (continuousSave_.on()) {
        continuousSave_.Stop();
    } else {
        const ViewerSettings& settings = app_.settings();
        continuousSave_.Start(static_cast<std::uint32_t>(settings.saveInterval), settings.saveDir);
    }
    UpdateTitle();
}

void CScreenView::EditSaveSettings() {
    ViewerSettings& settings = app_.settings();
    SaveSettingsDialog dialog(
        settings.saveDir,
        static_cast<std::uint32_t>(IntervalSet(settings.saveInterval) ? settings.saveInterval : 0));
    saveSettingsOpen_ = true;
    if (dialog.Show(GetModuleHandleW(nullptr), hwnd_) == IDOK) {
        settings.saveDir = dialog.folder();
        settings.saveInterval = static_cast<std::int32_t>(dialog.intervalSeconds());
        app_.SaveSettings();
    }
    saveSettingsOpen_ = false;
}

}  // namespace telvo
