#include "sender/ScreenCapture_win.h"

#include "win/WinHandles.h"

namespace telvo {
namespace {

bool DrawCursorAt(HDC dc, HCURSOR cursor, POINT position) {
    ICONINFO info{};
    if (cursor == nullptr || !GetIconInfo(cursor, &info)) return false;
    const UniqueGdiObject mask(info.hbmMask), colour(info.hbmColor);
    return DrawIconEx(dc, position.x - static_cast<int>(info.xHotspot),
                      position.y - static_cast<int>(info.yHotspot), cursor, 0, 0, 0, nullptr,
                      DI_NORMAL) != FALSE;  // width 0 without DI_DEFAULTSIZE: the cursor's own
}

// Draws the pointer into a picture whose top-left corner is at `origin` on the screen.
void DrawCursor(HDC dc, POINT origin) {
    CURSORINFO cursor{};
    cursor.cbSize = sizeof cursor;
    if (!GetCursorInfo(&cursor) || (cursor.flags & CURSOR_SHOWING) == 0) return;
    const POINT position{cursor.ptScreenPos.x - origin.x, cursor.ptScreenPos.y - origin.y};
    // NOTE: the handle may be null, or belong to another process so that it cannot be drawn
    // (seen under Wine); the standard arrow then stands in for it.
    if (!DrawCursorAt(dc, cursor.hCursor, position)) {
        DrawCursorAt(dc, LoadCursorW(nullptr, IDC_ARROW), position);
    }
}

}  // namespace

bool CaptureScreenArea(const RECT& area, CaptureSurface& surface) {
    if (IsRectEmpty(&area) || !surface.Fit(area.right - area.left, area.bottom - area.top)) {
        return false;
    }
    const WindowDc screenDc(nullptr, WindowDc::Area::kClient);
    if (!screenDc || !BitBlt(surface.dc(), 0, 0, area.right - area.left, area.bottom - area.top,
                             screenDc.get(), area.left, area.top, SRCCOPY)) {
        return false;
    }
    DrawCursor(surface.dc(), POINT{area.left, area.top});
    GdiFlush();  // the drawing is in the section's memory before anyone reads it
    return true;
}

}  // namespace telvo
