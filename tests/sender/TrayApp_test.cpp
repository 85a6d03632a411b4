// The tray program's rules checked in-process: menus cannot be read from another process under
// Wine, and the broadcast thread's state is seen only from inside.
#include "sender/TrayApp_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sender/res/resource.h"
#include "tests/NetworkTest.h"
#include "tests/win/ProgramDriver.h"

namespace telvo {
namespace {

std::atomic<int> startError{0}, iconAdds{0};
int Starter(ThreadBody body, void* argument) {
    return startError != 0 ? startError.load() : StartDetachedThread(body, argument);
}
BOOL WINAPI CountIconAdds(DWORD message, NOTIFYICONDATAW* data) {
    iconAdds += message == NIM_ADD && data->uID == kTrayIconId;
    return TRUE;
}

bool Enabled(const TrayApp& app, UINT id) {
    const UniqueMenu menu = app.LoadTrayMenu();
    return (GetMenuState(GetSubMenu(menu.get(), 0), id, MF_BYCOMMAND) & MF_GRAYED) == 0;
}

// Waits for this process's next dialog titled `title`, calls `look` with it and closes it.
std::thread Answer(const wchar_t* title, int times, std::function<void(HWND)> look) {
    return std::thread([=] {
        for (int i = 0; i < times; ++i) {
            const HWND dialog = test::WaitForDialog(GetCurrentProcessId(), title, 15000);
            look(dialog);
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            test::WaitForWindowGone(dialog, 15000);
        }
    });
}

TEST(TrayApp, TheMenuFollowsTheStateAFailedStartIsReportedAndTheIconComesBack) {
    TELVO_REQUIRE_TEST_NETWORK();
    TrayApp app(GetModuleHandleW(nullptr), test::MakeFreshFolder(L"tray") + L"\\a.ini", Starter,
                CountIconAdds);
    ASSERT_TRUE(app.CreateWindowAndIcon());
    app.settings().captureInterval = 60000;
    SendMessageW(app.window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(2, iconAdds.load());  // added again when the notification area is rebuilt

    // Both ways to start report a thread that cannot start, and leave the broadcast off.
    startError = 11;
    std::atomic<int> messages{0};
    std::thread user = Answer(kSenderCaption, 2, [&](HWND box) { messages += box != nullptr; });
    SendMessageW(app.window(), WM_COMMAND, ID_START, 0);
    SendMessageW(app.window(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    user.join();
    EXPECT_EQ(2, messages.load());
    EXPECT_FALSE(app.broadcaster().broadcasting());
    EXPECT_TRUE(Enabled(app, ID_START));
    EXPECT_FALSE(Enabled(app, ID_STOP));
    startError = 0;
    SendMessageW(app.window(), WM_COMMAND, ID_START, 0);
    EXPECT_FALSE(Enabled(app, ID_START));
    EXPECT_TRUE(Enabled(app, ID_STOP));
    SendMessageW(app.window(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);  // stops
    EXPECT_FALSE(app.broadcaster().broadcasting());
    ASSERT_TRUE(test::WaitUntil([&] { return !app.broadcaster().threadRunning(); }));

    // While the settings dialog is open, start is grey even with no broadcast.
    std::atomic<bool> startWhileOpen{true};
    user = Answer(L"配信設定", 1, [&](HWND) { startWhileOpen = Enabled(app, ID_START); });
    SendMessageW(app.window(), WM_COMMAND, ID_SETTINGS, 0);  // returns when the dialog has closed
    user.join();
    EXPECT_FALSE(startWhileOpen.load());
    EXPECT_TRUE(Enabled(app, ID_START));
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

}  // namespace
}  // namespace telvo
