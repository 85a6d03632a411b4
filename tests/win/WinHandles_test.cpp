// The Win32 guards give back exactly what they took: the selected object, the paint, the DC and
// the file.
#include "win/WinHandles.h"

#include <gtest/gtest.h>

#include <string>

namespace telvo {
namespace {

TEST(WinHandles, GuardsGiveBackWhatTheyTook) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    const UniqueMemoryDc memory(CreateCompatibleDC(nullptr));
    const UniqueGdiObject bitmap(CreateBitmap(8, 8, 1, 1, nullptr));
    const HGDIOBJ before = GetCurrentObject(memory.get(), OBJ_BITMAP);
    {
        const SelectedObject selected(memory.get(), bitmap.get());
        EXPECT_EQ(bitmap.get(), GetCurrentObject(memory.get(), OBJ_BITMAP));
    }
    EXPECT_FALSE(SelectedObject(memory.get(), nullptr).ok());  // and puts nothing back
    EXPECT_EQ(before, GetCurrentObject(memory.get(), OBJ_BITMAP));

    InvalidateRect(window, nullptr, FALSE);
    PaintDc(window).get();
    EXPECT_FALSE(GetUpdateRect(window, nullptr, FALSE));  // the paint took the update region
    HDC taken = WindowDc(window, WindowDc::Area::kClient).get();
    EXPECT_EQ(0, ReleaseDC(window, taken));  // already given back
    DestroyWindow(window);

    wchar_t folder[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, folder));
    const std::wstring path = std::wstring(folder) + L"telvo-unique-file.tmp";
    const auto open = [&](DWORD creation) {
        return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, /*share*/ 0,
                                      nullptr, creation, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    };
    {
        const UniqueFile file = open(CREATE_ALWAYS);
        ASSERT_TRUE(file);
        EXPECT_FALSE(open(OPEN_EXISTING));  // shared with no one while it is open
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));  // closed: deleted
}

}  // namespace
}  // namespace telvo
