#include "sender/ScreenCapture_win.h"

#include <cstdint>
#include <cstring>

#include "protocol/ScreenBitmap.h"
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

bool GiveUp(HeapBlock& buffer) {
    buffer.reset();
    return false;
}

}  // namespace

bool CaptureScreenArea(const RECT& area, HeapBlock& buffer, std::uint32_t* length) {
    *length = 0;
    const long width = area.right - area.left;
    const long height = area.bottom - area.top;
    if (IsRectEmpty(&area)) return GiveUp(buffer);

    const WindowDc screenDc(nullptr, WindowDc::Area::kClient);
    if (!screenDc) return GiveUp(buffer);
    const UniqueMemoryDc memoryDc(CreateCompatibleDC(screenDc.get()));
    if (!memoryDc) return GiveUp(buffer);
    const UniqueGdiObject bitmap(CreateCompatibleBitmap(screenDc.get(), width, height));
    if (!bitmap) return GiveUp(buffer);

    // The length travels as a 32-bit pictureSize.
    const std::uint64_t needed =
        NeededLength(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    if (needed > UINT32_MAX) return GiveUp(buffer);
    if (!buffer || buffer.capacity() < needed) {
        buffer.reset();
        buffer = HeapBlock::Allocate(needed);
        if (!buffer) return false;
    }
    std::memset(buffer.get(), 0, needed);  // the padding of the rows stays zero
    WriteBitmapHeaders(buffer.get(), static_cast<std::uint32_t>(width),
                       static_cast<std::uint32_t>(height));

    {
        const SelectedObject selected(memoryDc.get(), bitmap.get());
        if (!selected.ok()) return GiveUp(buffer);
        if (!BitBlt(memoryDc.get(), 0, 0, width, height, screenDc.get(), area.left, area.top,
                    SRCCOPY)) {
            return GiveUp(buffer);
        }
        DrawCursor(memoryDc.get(), POINT{area.left, area.top});
    }
    // The bitmap is out of the memory context again: GetDIBits wants it selected nowhere.
    if (GetDIBits(screenDc.get(), static_cast<HBITMAP>(bitmap.get()), 0, static_cast<UINT>(height),
                  buffer.get() + kBitmapHeadersSize,
                  reinterpret_cast<BITMAPINFO*>(buffer.get() + kInfoHeaderOffset),
                  DIB_RGB_COLORS) == 0) {
        return GiveUp(buffer);
    }
    *length = static_cast<std::uint32_t>(needed);
    return true;
}

}  // namespace telvo
