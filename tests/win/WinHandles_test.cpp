// The Win32 guards give back exactly what they took (a file left open fails the save tests).
#include "win/WinHandles.h"

#include <gtest/gtest.h>

namespace telvo {
namespace {

TEST(WinHandles, GuardsGiveBackWhatTheyTook) {
    const UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
    const UniqueGdiObject bitmap(CreateBitmap(8, 8, 1, 1, nullptr));
    const HGDIOBJ before = GetCurrentObject(memory.get(), OBJ_BITMAP);
    EXPECT_TRUE(SelectedObject(memory.get(), bitmap.get()).ok());
    EXPECT_FALSE(SelectedObject(memory.get(), nullptr).ok());  // and puts nothing back
    EXPECT_EQ(before, GetCurrentObject(memory.get(), OBJ_BITMAP));

    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                                        nullptr, nullptr, nullptr, nullptr);
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_NE(nullptr, PaintDc(window).get());
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));  // the paint took the update region
    const HDC taken = WindowDc(window, WindowDc::Area::kClient).get();
    EXPECT_NE(nullptr, taken);
    EXPECT_EQ(0, ReleaseDC(window, taken));  // already given back
    DestroyWindow(window);
}

}  // namespace
}  // namespace telvo
