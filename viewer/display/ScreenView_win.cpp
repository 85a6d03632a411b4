#include "viewer/display/ScreenView_win.h"

#include <windowsx.h>

#include <algorithm>

#include "protocol/ScreenBitmap.h"
#include "viewer/display/BoxScale.h"
#include "viewer/display/ViewGeometry.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

constexpr wchar_t kViewClass[] = L"CScreenView";

// The `width` x `height` pixels from column `left` and row `top` (counted from the top) of a
// bottom-up picture; they lie inside it.
SourceRows CropRows(const SourceRows& picture, std::uint32_t left, std::uint32_t top,
                    std::uint32_t width, std::uint32_t height) {
    const std::size_t firstRow = picture.height - top - height;
    return {picture.bytes + firstRow * picture.stride + std::size_t{3} * left, width, height,
            picture.stride};
}

}  // namespace

CScreenView::CScreenView(ViewOptions& options, SaveOptions& saveOptions,
                         std::function<void()> storeSettings, std::function<void()> refreshTitle)
    : options_(options),
      refreshTitle_(std::move(refreshTitle)),
      saving_(saveOptions, std::move(storeSettings)) {}

bool CScreenView::Create(HWND frame) {
    if (!RegisterWindowClassOnce(
            kViewClass, WindowProc<CScreenView>, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW,
            reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), LoadCursorW(nullptr, IDC_ARROW))) {
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
            return OnCreate() ? 0 : -1;
        case WM_PAINT:
            OnPaint();
            return 0;
        case kPictureArrived:
            OnPictureArrived();
            return 0;
        case kShowPaintError:
            ShowPaintError(static_cast<PaintResult>(wParam));
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
        case WM_CAPTURECHANGED:
            EndDrag();
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam))) return 0;
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case kSaveFinished:
        case kContinuousSaveStopped:
            refreshTitle_();  // continuous save may have stopped: the title says so at once
            saving_.OnSaveMessage(message, wParam, lParam);
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

bool CScreenView::OnCreate() {
    saving_.SetOwner(hwnd_);
    if (!panel_.Create(hwnd_)) return false;
    panel_.EnableSaveAndMemo(false);
    SetViewMode(ViewMode::kFixedAspect);
    return true;
}

bool CScreenView::OnCommand(int id) {
    if (id >= ID_VIEW_FIXED_ASPECT && id <= ID_VIEW_FIT_TO_WINDOW) {
        SetViewMode(static_cast<ViewMode>(id - ID_VIEW_FIXED_ASPECT));
        return true;
    }
    switch (id) {
        case ID_SAVE:
            saving_.Save(CopyPictureOnShow());
            return true;
        case ID_MEMO:
            saving_.TakeMemo(CopyPictureOnShow());
            return true;
        case ID_CONTINUOUS_SAVE:
            // The source is called only while continuous save is on, which the saving member,
            // going before the receiver, ends.
            saving_.ToggleContinuousSave([this] { return CopyPictureOnShow(); });
            refreshTitle_();
            return true;
        case ID_SAVE_SETTINGS:
            saving_.EditSettings();
            return true;
        case ID_VIEW_FULL_SCREEN:
            ToggleFullScreen();
            return true;
        case ID_CONTROL_PANEL:
            ToggleControlPanel();
            return true;
        default:
            return false;
    }
}

bool CScreenView::UpdateCommand(int id, CommandState* state) const {
    if (id >= ID_VIEW_FIXED_ASPECT && id <= ID_VIEW_FIT_TO_WINDOW) {
        state->radio = true;
        state->checked = id - ID_VIEW_FIXED_ASPECT == static_cast<int>(options_.viewMode);
        return true;
    }
    switch (id) {
        case ID_VIEW_FULL_SCREEN:
            state->checked = options_.fullScreen != 0;
            return true;
        case ID_CONTROL_PANEL:
            state->checked = IsWindowVisible(panel_.hwnd()) != 0;
            return true;
        case ID_SAVE:
        case ID_MEMO:
            state->enabled = PictureOnShow().has();
            return true;
        case ID_CONTINUOUS_SAVE:
            state->checked = saving_.continuousOn();
            return true;
        case ID_SAVE_SETTINGS:
            state->enabled = !saving_.continuousOn();
            return true;
        default:
            return false;
    }
}

void CScreenView::OnPaint() {
    PaintDc paint(hwnd_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    RECT drawn{};  // what the picture covers; empty when nothing of it was drawn
    PaintResult result = PaintResult::kDrawn;
    {
        const ShownPicture image = PictureOnShow();  // held until the picture is drawn
        if (!image.has()) {
            FillRect(paint.get(), &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
            return;
        }
        result = DrawPicture(paint.get(), image, client, &drawn);
    }
    // Whatever the picture does not cover shows the background, so nothing of an earlier, larger
    // picture stays on the screen (new pictures are painted without erasing).
    const HBRUSH background = GetSysColorBrush(COLOR_WINDOW);
    const RECT around[] = {{0, 0, client.right, drawn.top},
                           {0, drawn.bottom, client.right, client.bottom},
                           {0, drawn.top, drawn.left, drawn.bottom},
                           {drawn.right, drawn.top, client.right, drawn.bottom}};
    for (const RECT& part : around) {
        if (part.right > part.left && part.bottom > part.top) {
            FillRect(paint.get(), &part, background);
        }
    }
    ReportPaintResult(result);
}

// Draws the picture into `dc` and sets `*drawn` to the part of `client` it covers.
CScreenView::PaintResult CScreenView::DrawPicture(HDC dc, const ShownPicture& image,
                                                  const RECT& client, RECT* drawn) {
    const BitmapLayout& layout = image.layout();
    const ViewMode mode = options_.viewMode;
    ViewRect to;
    if (!DestinationRect(mode, layout.width, layout.height, client.right, client.bottom,
                         &panOffsetX_, &panOffsetY_, &to)) {
        return PaintResult::kDrawn;  // a client area of zero width or height: nothing to draw
    }
    // Only the part inside the client area is made: in actual size a large picture is mostly
    // outside it, and every drag step paints.
    const RECT shown{std::max<LONG>(to.left, 0), std::max<LONG>(to.top, 0),
                     std::min<LONG>(to.right, client.right),
                     std::min<LONG>(to.bottom, client.bottom)};
    const int width = shown.right - shown.left;
    const int height = shown.bottom - shown.top;
    if (width <= 0 || height <= 0) return PaintResult::kDrawn;
    SourceRows picture{image.bytes() + layout.pixelOffset, layout.width, layout.height,
                       layout.stride};
    if (mode == ViewMode::kActualSize) {
        picture = CropRows(picture, static_cast<std::uint32_t>(shown.left - to.left),
                           static_cast<std::uint32_t>(shown.top - to.top),
                           static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    }
    // The picture is scaled here, area-averaged, into a bitmap of the size it is shown at, and
    // the window gets a plain copy. StretchBlt in the default stretch mode ANDs the pixels it
    // drops: dark text turns into blobs and light text on a dark background vanishes.
    switch (workBitmap_.Prepare(dc, width, height)) {
        case WorkBitmap::Result::kNoDc:
            return PaintResult::kNoDc;
        case WorkBitmap::Result::kNoBitmap:
            return PaintResult::kNoBitmap;
        case WorkBitmap::Result::kReady:
            break;
    }
    GdiFlush();  // the last BitBlt from the bitmap is done before its rows change
    if (!BoxScale(picture, workBitmap_.rows())) return PaintResult::kDrawn;  // beyond the scaling
    BitBlt(dc, shown.left, shown.top, width, height, workBitmap_.dc(), 0, 0, SRCCOPY);
    *drawn = shown;
    return PaintResult::kDrawn;
}

// One box per failure, shown after the paint, outside imageLock: while the failure lasts, the
// paints that follow (every exposure) open no further box.
void CScreenView::ReportPaintResult(PaintResult result) {
    if (result == PaintResult::kDrawn) {
        paintFailing_ = false;
        return;
    }
    if (paintFailing_) return;
    paintFailing_ = true;
    PostMessageW(hwnd_, kShowPaintError, static_cast<WPARAM>(result), 0);
}

void CScreenView::ShowPaintError(PaintResult result) {
    MessageBoxW(hwnd_, result == PaintResult::kNoDc ? L"hBitmapDC エラー" : L"hWorkBitmap エラー",
                L"エラー", MB_OK);
}

void CScreenView::OnPictureArrived() {
    // A notice sent just before a channel switch arrives after it: the picture decides. Read
    // first: the lock is not held while windows are changed.
    const bool hasPicture = PictureOnShow().has();
    panel_.EnableSaveAndMemo(hasPicture);
    if (!saving_.settingsOpen()) LayoutFrame();
    refreshTitle_();
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
}

void CScreenView::SetViewMode(ViewMode mode) {
    options_.viewMode = mode;
    const HWND frame = GetParent(hwnd_);
    const LONG style = GetWindowLongW(frame, GWL_STYLE);
    SetWindowLongW(
        frame, GWL_STYLE,
        mode == ViewMode::kFixedAspect ? style & ~WS_MAXIMIZEBOX : style | WS_MAXIMIZEBOX);
    SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED | SWP_NOCOPYBITS | SWP_NOOWNERZORDER);
    panel_.KeepAbove(frame);
    if (mode != ViewMode::kActualSize) {
        panOffsetX_ = 0;
        panOffsetY_ = 0;
    }
    // Restoring a frame that is not shown yet (during start-up) would show it early.
    if (mode == ViewMode::kFixedAspect && IsWindowVisible(frame)) ShowWindow(frame, SW_RESTORE);
    LayoutFrame();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

PictureAssembler::Notifier CScreenView::PictureNotifier() const {
    // The receive thread calls this after each picture and waits until it returns: a
    // synchronous send, so the picture is painted before the thread goes on. It keeps the
    // window handle, not the view: a late notification to a destroyed window does nothing.
    const HWND hwndView = hwnd_;
    return [hwndView](const CompletedPicture&) { SendMessageW(hwndView, kPictureArrived, 0, 0); };
}

void CScreenView::ChannelChanged(std::int32_t channelIndex) {
    panel_.channelRadio = channelIndex;
    panel_.EnableSaveAndMemo(false);
    panel_.LoadControls();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void CScreenView::OnLeftButtonDown(int x, int y) {
    if (options_.viewMode != ViewMode::kActualSize) return;
    dragLastX_ = x;
    dragLastY_ = y;
    if (dragging_) return;  // a second button-down: the hand is already shown
    SetCapture(hwnd_);
    savedCursor_ =
        SetCursor(LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_PAN_HAND)));
    dragging_ = true;
}

void CScreenView::OnLeftButtonUp() {
    EndDrag();
    if (GetCapture() == hwnd_) ReleaseCapture();
    RepaintNow();
}

// Also when the capture goes elsewhere (Alt+Tab during a drag): the picture must not follow a
// mouse whose button is no longer down.
void CScreenView::EndDrag() {
    if (!dragging_) return;
    dragging_ = false;
    SetCursor(savedCursor_);
}

void CScreenView::OnMouseMove(int x, int y) {
    if (options_.viewMode == ViewMode::kActualSize && dragging_) {
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

}  // namespace telvo
