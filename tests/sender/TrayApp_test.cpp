// The tray menu's rules and the program's ways out, checked in-process (menus cannot be read from
// another process under Wine, and the broadcast thread's state is seen only from inside).
#include "sender/TrayApp_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

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

TEST(TrayApp, LeavingTheStartUpDialogAnswersShutdownAndEndsTheBroadcastFirst) {
    TELVO_REQUIRE_TEST_NETWORK();
    TrayApp app(GetModuleHandleW(nullptr), test::MakeFreshFolder(L"trayexit") + L"\\a.ini");
    std::atomic<bool> sent{false};
    std::atomic<LRESULT> answer{-1};
    std::thread user([&] {
        const HWND dialog = test::WaitForDialog(GetCurrentProcessId(), L"配信設定", 15000);
        PostMessageW(app.window(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
        sent = test::WaitUntil([&] { return app.broadcaster().pictureCounter() > 0; });
        answer = SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0);  // Windows asks to shut down
    });
    EXPECT_EQ(0, app.Run());
    user.join();
    EXPECT_TRUE(sent.load());
    EXPECT_EQ(TRUE, answer.load());
    EXPECT_FALSE(app.broadcaster().threadRunning());  // ended before the program goes
}

TEST(TrayApp, AThreadThatCannotStartIsReportedAndLeavesTheBroadcastOff) {
    TELVO_REQUIRE_TEST_NETWORK();
    TrayApp app(GetModuleHandleW(nullptr), test::MakeFreshFolder(L"traystart") + L"\\a.ini",
                [](ThreadBody, void*) { return 11; });
    ASSERT_TRUE(app.CreateWindowAndIcon());
    std::atomic<int> messages{0};
    std::thread user([&] {
        for (int i = 0; i < 2; ++i) {
            const HWND box = test::WaitForDialog(GetCurrentProcessId(), kSenderCaption, 15000);
            if (box == nullptr) return;
            if (test::ItemText(box, 0xFFFF) == L"配信を開始できませんでした") ++messages;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            test::WaitForWindowGone(box, 15000);
        }
    });
    SendMessageW(app.window(), WM_COMMAND, ID_START, 0);  // the menu's start
    EXPECT_TRUE(Enabled(app.LoadTrayMenu(), ID_START));
    SendMessageW(app.window(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    user.join();
    EXPECT_EQ(2, messages.load());
    EXPECT_FALSE(app.broadcaster().broadcasting());
    EXPECT_FALSE(app.broadcaster().threadRunning());
}

// The icon calls a stand-in records: (message, icon id).
std::vector<std::pair<DWORD, UINT>> iconCalls;
BOOL WINAPI RecordIconCall(DWORD message, NOTIFYICONDATAW* data) {
    iconCalls.emplace_back(message, data->uID);
    return TRUE;
}

TEST(TrayApp, TheIconComesBackWhenTheNotificationAreaIsRebuilt) {
    TELVO_REQUIRE_TEST_NETWORK();
    iconCalls.clear();
    TrayApp app(GetModuleHandleW(nullptr), test::MakeFreshFolder(L"trayicon") + L"\\a.ini",
                StartDetachedThread, RecordIconCall);
    ASSERT_TRUE(app.CreateWindowAndIcon());
    ASSERT_EQ(1u, iconCalls.size());
    iconCalls.clear();
    SendMessageW(app.window(), RegisterWindowMessageW(L"TaskbarCreated"), 0,
                 0);  // Explorer restarted
    EXPECT_EQ((std::vector<std::pair<DWORD, UINT>>{{NIM_ADD, kTrayIconId}}), iconCalls);
}

}  // namespace
}  // namespace telvo
