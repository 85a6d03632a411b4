// CScreenView: the one child window that fills the main frame. It shows the CurrentImage in the
// view mode of the settings, pans a picture in actual size by dragging, owns the ScreenReceiver,
// and handles the viewer's commands (the frame offers each command to the view first).
//
// The receive thread tells the view about each new picture with a synchronous SendMessage of
// kPictureArrived and waits until the picture is painted; it holds no lock meanwhile.
#pragma once

#include <windows.h>

#include <cstdint>

#include "protocol/WinHandles.h"
#include "protocol/WindowProc_win.h"
#include "viewer/app/ViewerCommands.h"
#include "viewer/display/ControlPanel_win.h"
#include "viewer/display/ViewGeometry.h"
#include "viewer/display/WorkBitmap_win.h"
#include "viewer/net/ScreenReceiver.h"
#include "viewer/save/ContinuousSave.h"

namespace telvo {

class ViewerApp;

enum ViewMessage : UINT {
    kPictureArrived = WM_APP + 1,  // OnPictureArrived; both parameters 0
};

class CScreenView {
  public:
    explicit CScreenView(ViewerApp& app);
    CScreenView(const CScreenView&) = delete;
    CScreenView& operator=(const CScreenView&) = delete;

    // Creates the view as a visible child of `frame`; its creation opens the stored channel.
    bool Create(HWND frame);
    HWND hwnd() const { return hwnd_; }

    // True when the view handles command `id` (and it has then been carried out).
    bool OnCommand(int id);
    // True when the view has the update rules of command `id`; `state` then holds them.
    bool UpdateCommand(int id, CommandState* state) const;

    void SetViewMode(int commandId);
    void SelectChannel(int commandId);
    void UpdateTitle();
    // Fits the frame to the picture: to its aspect ratio in fixed aspect, no larger than it in
    // actual size. Does nothing in fit to window, in full screen or without a picture.
    void LayoutFrame();
    void ToggleFullScreen();
    void ToggleControlPanel() { panel_.ToggleAt(GetParent(hwnd_)); }
    // The size of the CurrentImage, read under imageLock; false (and 0 x 0) without a picture.
    bool PictureSize(std::int64_t* width, std::int64_t* height) const;
    CControlPanel& panel() { return panel_; }

    const ScreenReceiver& receiver() const { return receiver_; }
    std::int32_t panOffsetX() const { return panOffsetX_; }
    std::int32_t panOffsetY() const { return panOffsetY_; }

  private:
    TELVO_WINDOW_PROC_FRIEND;
    void AttachWindow(HWND hwnd) { hwnd_ = hwnd; }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnCreate(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void OnPictureArrived();
    void OnSize(WPARAM sizeType);
    void OnDestroy();
    bool LayoutFramePass();
    void OnLeftButtonDown(int x, int y);
    void OnLeftButtonUp();
    void OnMouseMove(int x, int y);
    void ShowPaintError(const wchar_t* text);
    void SaveCurrentPicture();
    void TakeMemo();
    void ToggleContinuousSave();
    void EditSaveSettings();
    // Asks for a save folder with the save settings dialog when none is set (and, for
    // continuous save, when no interval is). False when there is still none.
    bool AskForSaveSettings(const wchar_t* caption, bool needInterval);
    void ShowSaveMessage(const std::wstring& text, const wchar_t* caption, UINT icon);
    void RepaintNow();
    bool HasPicture() const;

    ViewerApp& app_;
    HWND hwnd_ = nullptr;
    ViewRect lastLayoutRect_;  // the client rectangle the frame was last asked for
    UniqueMenu frameMenu_;     // the frame's menu after full screen
    HCURSOR savedCursor_ = nullptr;
    CControlPanel panel_;
    ScreenReceiver receiver_;
    ContinuousSave continuousSave_;  // after receiver_: it shares the receiver's picture store
    std::int32_t panOffsetX_ = 0;
    std::int32_t panOffsetY_ = 0;
    bool dragging_ = false;
    bool saveSettingsOpen_ = false;
    int dragLastX_ = 0;
    int dragLastY_ = 0;
    bool layingOut_ = false;  // LayoutFrame is resizing the frame
    WorkBitmap workBitmap_;
};

}  // namespace telvo
