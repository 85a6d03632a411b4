#include "sender/ScreenCapture_win.h"

#include <gtest/gtest.h>

#include <cstring>

#include "protocol/ScreenBitmap.h"
#include "win/WinHandles.h"

namespace telvo {
namespace {

constexpr COLORREF kLeft = RGB(200, 30, 40), kRight = RGB(20, 60, 220), kDot = RGB(0, 255, 0);

LRESULT CALLBACK PaintTestPattern(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    const PaintDc paint(window);
    RECT client{};
    GetClientRect(window, &client);
    RECT left = client, right = client;
    left.right = right.left = client.right / 2;
    const UniqueGdiObject leftBrush(CreateSolidBrush(kLeft)), rightBrush(CreateSolidBrush(kRight));
    FillRect(paint.get(), &left, static_cast<HBRUSH>(leftBrush.get()));
    FillRect(paint.get(), &right, static_cast<HBRUSH>(rightBrush.get()));
    SetPixel(paint.get(), 10, 5, kDot);
    return 0;
}

// A borderless top-most window painted with a known pattern: left half, right half, one dot.
class PatternWindow {
  public:
    PatternWindow(int x, int y, int width, int height) {
        static const ATOM windowClass = [] {
            WNDCLASSW info{};
            info.lpfnWndProc = PaintTestPattern;
            info.hInstance = GetModuleHandleW(nullptr);
            info.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            info.lpszClassName = L"TelvoCapturePattern";
            return RegisterClassW(&info);
        }();
        (void)windowClass;
        window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"TelvoCapturePattern", L"",
                                  WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        UpdateWindow(window_);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        GdiFlush();
    }
    ~PatternWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }

  private:
    HWND window_;
};

// Blue, green, red of pixel (x, y) from the top-left of a captured picture.
COLORREF PixelAt(const HeapBlock& picture, std::uint32_t x, std::uint32_t y) {
    BitmapLayout layout;
    if (!DescribeBitmap(picture.get(), picture.capacity(), &layout)) return CLR_INVALID;
    const std::uint8_t* p = picture.get() + layout.pixelOffset +
                            std::size_t{layout.height - 1 - y} * layout.stride + x * 3;
    return RGB(p[2], p[1], p[0]);
}

TEST(ScreenCapture, AWindowComesOutPixelForPixelWithZeroPadding) {
    SetCursorPos(1000, 700);                       // away from the window
    const PatternWindow pattern(40, 50, 101, 37);  // 303 bytes a row: one byte of padding
    HeapBlock picture;
    ASSERT_TRUE(CaptureWindow(pattern.get(), picture));
    ASSERT_EQ(NeededLength(101, 37), picture.capacity());
    EXPECT_EQ(101u, ReadLittle32(picture.get() + 18));
    EXPECT_EQ(37u, ReadLittle32(picture.get() + 22));
    EXPECT_EQ(54u + 304u * 37u, ReadLittle32(picture.get() + 2));
    EXPECT_EQ(kLeft, PixelAt(picture, 0, 0));
    EXPECT_EQ(kLeft, PixelAt(picture, 49, 36));
    EXPECT_EQ(kRight, PixelAt(picture, 50, 0));
    EXPECT_EQ(kRight, PixelAt(picture, 100, 36));
    EXPECT_EQ(kDot, PixelAt(picture, 10, 5));
    for (std::uint32_t row = 0; row < 37; ++row) {
        EXPECT_EQ(0, picture.get()[54 + row * 304 + 303]) << "padding of row " << row;
    }

    // A smaller window later: the same buffer, its capacity kept, the rest zero.
    const std::uint8_t* bytes = picture.get();
    const PatternWindow small(40, 50, 20, 10);
    ASSERT_TRUE(CaptureWindow(small.get(), picture));
    EXPECT_EQ(bytes, picture.get());
    EXPECT_EQ(NeededLength(101, 37), picture.capacity());
    EXPECT_EQ(20u, ReadLittle32(picture.get() + 18));
    EXPECT_EQ(kDot, PixelAt(picture, 10, 5));
    for (std::size_t i = NeededLength(20, 10); i < picture.capacity(); ++i) {
        ASSERT_EQ(0, picture.get()[i]) << i;
    }
}

TEST(ScreenCapture, ThePointerIsDrawnWithItsHotspotAtItsPosition) {
    const PatternWindow pattern(100, 100, 80, 80);
    HeapBlock without, with, hidden;
    SetCursorPos(1000, 700);
    ASSERT_TRUE(CaptureWindow(pattern.get(), without));
    SetCursorPos(100 + 20, 100 + 30);
    ASSERT_TRUE(CaptureWindow(pattern.get(), with));
    ShowCursor(FALSE);
    ASSERT_TRUE(CaptureWindow(pattern.get(), hidden));
    ShowCursor(TRUE);
    SetCursorPos(1000, 700);
    EXPECT_EQ(0, std::memcmp(without.get(), hidden.get(), without.capacity()));

    int changedBelowRight = 0, changedAboveLeft = 0;
    for (std::uint32_t y = 0; y < 80; ++y) {
        for (std::uint32_t x = 0; x < 80; ++x) {
            if (PixelAt(without, x, y) == PixelAt(with, x, y)) continue;
            if (x >= 20 && y >= 30)
                ++changedBelowRight;
            else
                ++changedAboveLeft;
        }
    }
    EXPECT_NE(PixelAt(without, 20, 30), PixelAt(with, 20, 30));  // the hotspot itself
    EXPECT_GT(changedBelowRight, 20);
    EXPECT_EQ(0, changedAboveLeft);
}

TEST(ScreenCapture, TheDesktopIsTheWholeScreenAndAGoneWindowGivesNoPicture) {
    HeapBlock picture;
    ASSERT_TRUE(CaptureWindow(GetDesktopWindow(), picture));
    EXPECT_EQ(static_cast<std::uint32_t>(GetSystemMetrics(SM_CXSCREEN)),
              ReadLittle32(picture.get() + 18));
    EXPECT_EQ(static_cast<std::uint32_t>(GetSystemMetrics(SM_CYSCREEN)),
              ReadLittle32(picture.get() + 22));

    HWND gone = nullptr;
    {
        const PatternWindow pattern(0, 0, 10, 10);
        gone = pattern.get();
    }
    EXPECT_FALSE(CaptureWindow(gone, picture));
    EXPECT_FALSE(picture);  // the previous buffer is freed
    EXPECT_FALSE(CaptureWindow(gone, picture));
}

}  // namespace
}  // namespace telvo
