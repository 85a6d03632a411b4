#include "sender/ScreenCapture_win.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/ScreenBitmap.h"
#include "win/WinHandles.h"

namespace telvo {
namespace {

constexpr COLORREF kLeft = RGB(200, 30, 40), kRight = RGB(20, 60, 220), kDot = RGB(0, 255, 0);

// A borderless top-most window at (40, 50): its left half, its right half, a dot at (10, 5).
struct PatternWindow {
    PatternWindow(int width, int height)
        : window(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"",
                                 WS_POPUP | WS_VISIBLE, 40, 50, width, height, nullptr, nullptr,
                                 nullptr, nullptr)) {
        MSG message;  // painted as it shows, then drawn on
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        const WindowDc dc(window, WindowDc::Area::kClient);
        const UniqueGdiObject left(CreateSolidBrush(kLeft)), right(CreateSolidBrush(kRight));
        RECT area{0, 0, width, height};
        FillRect(dc.get(), &area, static_cast<HBRUSH>(right.get()));
        area.right /= 2;
        FillRect(dc.get(), &area, static_cast<HBRUSH>(left.get()));
        SetPixel(dc.get(), 10, 5, kDot);
        GdiFlush();
    }
    ~PatternWindow() { DestroyWindow(window); }
    const HWND window;
};

// Blue, green, red of pixel (x, y) from the top-left of a captured picture.
COLORREF PixelAt(const HeapBlock& picture, std::uint32_t x, std::uint32_t y) {
    BitmapLayout layout;
    if (!DescribeBitmap(picture.get(), picture.capacity(), &layout)) return CLR_INVALID;
    const std::uint8_t* p = picture.get() + layout.pixelOffset +
                            std::size_t{layout.height - 1 - y} * layout.stride + x * 3;
    return RGB(p[2], p[1], p[0]);
}

TEST(ScreenCapture, AWindowComesOutPixelForPixelWithThePointerAtItsHotspotAndZeroPadding) {
    SetCursorPos(40 + 20, 50 + 10);  // the hotspot on (20, 10) of the window
    HeapBlock picture, pointer;
    HWND gone = nullptr;
    {
        const PatternWindow pattern(101, 37);  // 303 bytes a row: one byte of padding
        ShowCursor(FALSE);                     // a hidden pointer is not drawn
        ASSERT_TRUE(CaptureWindow(pattern.window, picture));
        ShowCursor(TRUE);
        ASSERT_TRUE(CaptureWindow(pattern.window, pointer));
    }
    ASSERT_EQ(NeededLength(101, 37), picture.capacity());
    int wrong = 0, changedAboveLeft = 0;
    for (std::uint32_t y = 0; y < 37; ++y) {
        wrong += picture.get()[54 + y * 304 + 303] != 0;  // padding
        for (std::uint32_t x = 0; x < 101; ++x) {
            wrong += PixelAt(picture, x, y) != (x == 10 && y == 5 ? kDot : x < 50 ? kLeft : kRight);
            changedAboveLeft +=
                (x < 20 || y < 10) && PixelAt(pointer, x, y) != PixelAt(picture, x, y);
        }
    }
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(0, changedAboveLeft);
    EXPECT_NE(PixelAt(picture, 20, 10), PixelAt(pointer, 20, 10));  // the hotspot itself

    // A smaller window later: the same buffer, its capacity kept, the rest zero.
    const std::uint8_t* bytes = picture.get();
    {
        const PatternWindow small(20, 10);
        ASSERT_TRUE(CaptureWindow(small.window, picture));
        gone = small.window;
    }
    EXPECT_EQ(bytes, picture.get());
    ASSERT_EQ(NeededLength(101, 37), picture.capacity());
    EXPECT_EQ(kDot, PixelAt(picture, 10, 5));
    EXPECT_TRUE(std::all_of(bytes + NeededLength(20, 10), bytes + picture.capacity(),
                            [](std::uint8_t byte) { return byte == 0; }));
    EXPECT_FALSE(CaptureWindow(gone, picture));
    EXPECT_FALSE(picture);  // the previous buffer is freed
}

}  // namespace
}  // namespace telvo
