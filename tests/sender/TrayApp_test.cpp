// The tray menu's rules, checked in-process (menus cannot be read from another process under Wine).
#include "sender/TrayApp_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sender/res/resource.h"
#include "tests/NetworkTest.h"
#include "tests/win/ProgramDriver.h"

namespace telvo {
namespace {

bool Enabled(const UniqueMenu& menu, UINT id) {
    return (GetMenuState(GetSubMenu(menu.get(), 0), id, MF_BYCOMMAND) &
            (MF_GRAYED | MF_DISABLED)) == 0;
}

TEST(TrayMenu, StartAndStopFollowTheBroadcastAndTheSettingsDialog) {
    TELVO_REQUIRE_TEST_NETWORK();
    const std::wstring folder = test::MakeFreshFolder(L"traymenu");
    TrayApp app(GetModuleHandleW(nullptr), folder + L"\\TelvoServer.ini");
    ASSERT_TRUE(app.CreateWindowAndIcon());
    app.settings().captureInterval = 60000;

    UniqueMenu idle = app.LoadTrayMenu();
    const wchar_t* texts[] = {
        L"配信開始(&S)", L"配信停止(&E)", L"", L"配信設定(&O)", L"ﾍﾙﾌﾟ(&H)", L"", L"終了(&X)"};
    HMENU popup = GetSubMenu(idle.get(), 0);
    ASSERT_EQ(7, GetMenuItemCount(popup));
    for (int i = 0; i < 7; ++i) {
        wchar_t text[64] = L"";
        GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
        EXPECT_STREQ(texts[i], text);
    }
    EXPECT_TRUE(Enabled(idle, ID_START));
    EXPECT_FALSE(Enabled(idle, ID_STOP));
    EXPECT_TRUE(Enabled(idle, ID_SETTINGS));
    EXPECT_TRUE(Enabled(idle, ID_EXIT));

    SendMessageW(app.window(), WM_COMMAND, ID_START, 0);
    UniqueMenu broadcasting = app.LoadTrayMenu();
    EXPECT_FALSE(Enabled(broadcasting, ID_START));
    EXPECT_TRUE(Enabled(broadcasting, ID_STOP));
    SendMessageW(app.window(), WM_COMMAND, ID_STOP, 0);
    ASSERT_TRUE(test::WaitUntil([&] { return !app.broadcaster().threadRunning(); }));

    // While the settings dialog is open, start is grey even with no broadcast.
    std::atomic<bool> checked{false}, startWasEnabled{true};
    std::thread user([&] {
        const HWND dialog = test::WaitForDialog(GetCurrentProcessId(), L"配信設定", 15000);
        startWasEnabled = Enabled(app.LoadTrayMenu(), ID_START);
        checked = true;
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageW(app.window(), WM_COMMAND, ID_SETTINGS, 0);  // returns when the dialog has closed
    user.join();
    EXPECT_TRUE(checked.load());
    EXPECT_FALSE(startWasEnabled.load());
    EXPECT_TRUE(Enabled(app.LoadTrayMenu(), ID_START));
}

}  // namespace
}  // namespace telvo
