// CScreenView: the one child window that fills the main frame. It shows the CurrentImage in the
// view mode of the settings, pans a picture in actual size by dragging, fits the frame to the
// picture, owns the ScreenReceiver, the control panel and the save commands, and handles the
// display's commands (the frame offers each command to the view first).
//
// The receive thread tells the view about each new picture with a synchronous SendMessage of
// kPictureArrived and waits until the picture is painted; it holds no lock meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <utility>

#include "viewer/display/CommandState.h"
#include "viewer/display/ControlPanel_win.h"
#include "viewer/display/ShownPicture.h"
#include "viewer/display/ViewGeometry.h"
#include "viewer/display/ViewOptions.h"
#include "viewer/display/WorkBitmap_win.h"
#include "viewer/net/ScreenReceiver.h"
#include "viewer/save/SaveCommands_win.h"
#include "win/WinHandles.h"
#include "win/WindowProc_win.h"

namespace telvo {

// The receive thread's notification of a new picture (OnPictureArrived); both parameters 0.
inline constexpr UINT kPictureArrived = WM_APP + 1;

// A paint failure, shown in a box after the paint; wParam: what failed.
inline constexpr UINT kShowPaintError = WM_APP + 2;

// The view window's child identifier in the frame.
inline constexpr int kViewChildId = 0xE900;

class CScreenView {
  public:
    // How a paint ended; a failure is posted with kShowPaintError.
    enum class PaintResult { kDrawn, kNoDc, kNoBitmap };

    // `options` and `saveOptions` are the viewer's settings and outlive the view; `storeSettings`
    // writes them to the settings file; `refreshTitle` is called whenever what the frame's title
    // shows may have changed (a new picture, continuous save switched).
    CScreenView(ViewOptions& options, SaveOptions& saveOptions, std::function<void()> storeSettings,
                std::function<void()> refreshTitle);
    CScreenView(const CScreenView&) = delete;
    CScreenView& operator=(const CScreenView&) = delete;

    // Creates the view as a visible child of `frame`.
    [[nodiscard]] bool Create(HWND frame);
    HWND hwnd() const { return hwnd_; }

    // True when the view handles command `id` (and it has then been carried out).
    bool OnCommand(int id);
    // True when the view has the update rules of command `id`; `state` then holds them.
    bool UpdateCommand(int id, CommandState* state) const;

    void SetViewMode(ViewMode mode);
    // Fits the frame to the picture: to its aspect ratio in fixed aspect, no larger than it in
    // actual size. Does nothing in fit to window, in full screen or without a picture.
    void LayoutFrame();
    void ToggleFullScreen();
    void ToggleControlPanel() { panel_.ToggleAt(GetParent(hwnd_)); }
    // The picture on show, imageLock held while the result lives. Never while a window is
    // resized: that sends messages which take the lock on this thread again.
    ShownPicture PictureOnShow() const { return ShownPicture(receiver_.store()); }
    // A copy of the picture on show, for saving: the lock is held for the copy only. Any thread.
    PictureCopy CopyPictureOnShow() const {
        const ShownPicture picture = PictureOnShow();
        return CopyPicture(picture.bytes(), picture.size());
    }
    CControlPanel& panel() { return panel_; }

    // What a receiver of this view calls after each picture it publishes.
    PictureAssembler::Notifier PictureNotifier() const;
    // Shows that channel `channelIndex` was chosen and its reception is starting.
    void ChannelChanged(std::int32_t channelIndex);

    ScreenReceiver& receiver() { return receiver_; }
    const ScreenReceiver& receiver() const { return receiver_; }
    const SaveCommands& saving() const { return saving_; }
    std::pair<std::int32_t, std::int32_t> panOffset() const { return {panOffsetX_, panOffsetY_}; }
    WorkBitmap& workBitmap() { return workBitmap_; }

  private:
    TELVO_WINDOW_PROC_FRIEND;
    void AttachWindow(HWND hwnd) { hwnd_ = hwnd; }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnCreate();
    void OnPaint();
    PaintResult DrawPicture(HDC dc, const ShownPicture& image, const RECT& client, RECT* drawn);
    void ReportPaintResult(PaintResult result);
    void ShowPaintError(PaintResult result);
    void OnPictureArrived();
    void OnSize(WPARAM sizeType);
    void OnDestroy();
    bool LayoutFramePass();
    void ShowEdge(bool show);
    void OnLeftButtonDown(int x, int y);
    void OnLeftButtonUp();
    void OnMouseMove(int x, int y);
    void EndDrag();
    void RepaintNow();

    ViewOptions& options_;
    const std::function<void()> refreshTitle_;
    HWND hwnd_ = nullptr;
    ViewRect lastLayoutRect_;           // the client rectangle the frame was last asked for
    UniqueMenu frameMenu_;              // the frame's menu, kept here while full screen is on
    WINDOWPLACEMENT savedPlacement_{};  // the frame's placement from before full screen
    HCURSOR savedCursor_ = nullptr;
    CControlPanel panel_;
    ScreenReceiver receiver_;
    SaveCommands saving_;  // after receiver_: continuous save reads the picture until it ends
    std::int32_t panOffsetX_ = 0;
    std::int32_t panOffsetY_ = 0;
    bool dragging_ = false;
    int dragLastX_ = 0;
    int dragLastY_ = 0;
    bool layingOut_ = false;     // LayoutFrame is resizing the frame
    bool paintFailing_ = false;  // the last paint failed and its box has been posted
    WorkBitmap workBitmap_;
};

}  // namespace telvo
