// TelvoServer.exe under Wine in a folder of its own, used as a user would: its dialogs, its hidden
// window's commands and tray callbacks, its settings file and the datagrams it puts on the wire.
// Its rules that are seen only from inside (menus cannot be read from another process under Wine,
// nor the broadcast thread's state) are checked on its window class in-process.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "sender/TrayApp_win.h"
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

// Whether the tray menu's start and stop are enabled.
std::pair<bool, bool> StartStop(const TrayApp& app) {
    const UniqueMenu menu = app.LoadTrayMenu();
    const auto enabled = [&](UINT id) {
        return (GetMenuState(GetSubMenu(menu.get(), 0), id, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    return {enabled(ID_START), enabled(ID_STOP)};
}

constexpr DWORD kWaitMs = 30000;  // a loaded machine under Wine can be slow to show a window

// Closes dialog `dialog`, or this process's next dialog titled `title`; false when there was none.
bool Dismiss(const wchar_t* title, HWND dialog = nullptr) {
    if (dialog == nullptr) dialog = test::WaitForDialog(GetCurrentProcessId(), title, kWaitMs);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return dialog != nullptr && test::WaitForWindowGone(dialog, kWaitMs);
}

// Types into the dialog's boxes and presses OK.
void Confirm(HWND dialog, const wchar_t* seconds, const wchar_t* channel) {
    SetDlgItemTextW(dialog, IDC_INTERVAL_EDIT, seconds);
    SetDlgItemTextW(dialog, IDC_CHANNEL_EDIT, channel);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST(Server, BroadcastsAsToldFromStartUpToExitAndKeepsItsSettingsFile) {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 1));
    const std::wstring folder = test::MakeFreshFolder(L"server");
    const std::wstring ini = folder + L"\\TelvoServer.ini";
    const std::wstring executable =
        test::CopyInto(test::BuildPath(L"sender\\TelvoServer.exe"), folder);
    test::ChannelListener channel1(kDefaultGroup, 54321), channel3(kDefaultGroup, 54323),
        channel4(kDefaultGroup, 54324);
    ASSERT_TRUE(channel1.ok() && channel3.ok() && channel4.ok());
    test::Program program;
    DWORD code = 1;

    // A double-click on the icon while the dialog is open starts a broadcast on the settings from
    // before; confirming the dialog moves it, its numbers going on. A second copy leaves it alone.
    ASSERT_TRUE(program.Start(executable, folder));
    HWND dialog = test::WaitForDialog(program.id(), L"配信設定", kWaitMs);
    ASSERT_NE(nullptr, dialog);
    const HWND window =
        test::WaitForWindow(program.id(), kSenderWindowClass, kSenderCaption, kWaitMs);
    ScreenPacketHeader picture;
    PostMessageW(window, kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(channel1.NextPicture(&picture, 10000));
    EXPECT_EQ(0u, picture.pictureNumber);
    Confirm(dialog, L"1", L"3");
    test::Program second;
    EXPECT_TRUE(second.Start(executable, folder) && second.WaitExit(kWaitMs, &code) && code == 0);

    // An unchanged screen goes out as the same stream every time, which lets a viewer complete a
    // picture with the fragments of earlier ones.
    POINT cursor{};
    GetCursorPos(&cursor);
    std::map<std::uint32_t, std::map<std::uint32_t, std::vector<std::uint8_t>>> streams;
    while (streams.size() < 4 && channel3.Next(&picture, 10000)) {
        streams[picture.pictureNumber][picture.fragmentIndex] = channel3.LastData();
        EXPECT_EQ(cursor.y, picture.cursorY);
        EXPECT_EQ(1u, picture.flags);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), picture.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), picture.height);
    }
    ASSERT_EQ(4u, streams.size());  // the first and the last may be partial
    EXPECT_GE(streams.begin()->first, 1u);
    EXPECT_EQ(streams.begin()->first + 3, streams.rbegin()->first);
    EXPECT_EQ(std::next(streams.begin())->second, std::next(streams.begin(), 2)->second);

    // The settings command moves the running broadcast and saves at once; a stop and a start go on
    // with the next number at once.
    PostMessageW(window, WM_COMMAND, ID_SETTINGS, 0);
    dialog = test::WaitForDialog(program.id(), L"配信設定", kWaitMs);
    ASSERT_NE(nullptr, dialog);
    Confirm(dialog, L"1", L"4");
    EXPECT_TRUE(test::WaitUntil(
        [&] { return test::ReadFileText(ini).find(L"Channel=4") != std::wstring::npos; },
        std::chrono::seconds(30)));
    ASSERT_TRUE(channel4.NextPicture(&picture, 10000));
    const std::uint32_t moved = picture.pictureNumber;
    PostMessageW(window, WM_COMMAND, ID_STOP, 0);
    PostMessageW(window, kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(channel4.NextPicture(&picture, 10000));
    EXPECT_EQ(moved + 1, picture.pictureNumber);
    while (channel3.Next(&picture, 0)) EXPECT_LT(picture.pictureNumber, moved);

    PostMessageW(window, WM_COMMAND, ID_EXIT, 0);
    ASSERT_TRUE(program.WaitExit(kWaitMs, &code) && code == 0);
    EXPECT_EQ(
        L"\xFEFF[TelvoServer]\r\nCaptureInterval=1000\r\nCompress=1\r\nChannel=4\r\n"
        L"ToAddress=224.3.2.1\r\nBasePort=54321\r\n",
        test::ReadFileText(ini));
}

TEST(TrayApp, TheMenuFollowsTheStateAFailedStartIsReportedAndShutdownEndsTheBroadcastFirst) {
    TELVO_REQUIRE_TEST_NETWORK();
    const std::wstring ini = test::MakeFreshFolder(L"tray") + L"\\TelvoServer.ini";
    const char* bad = "[TelvoServer]\r\nCompress=0\r\nChannel=9\r\nBasePort=70000\r\n";
    ASSERT_TRUE(test::WriteFileBytes(ini, bad));
    TrayApp app(GetModuleHandleW(nullptr), ini, Starter, CountIconAdds);
    std::atomic<LRESULT> answer{-1};
    std::thread user([&] {  // while the start-up dialog is open
        const HWND dialog = test::WaitForDialog(GetCurrentProcessId(), L"配信設定", kWaitMs);
        EXPECT_EQ(L"1", test::ItemText(dialog, IDC_CHANNEL_EDIT));  // 9 is no channel
        EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(dialog, IDC_COMPRESS));
        SendMessageW(app.window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        EXPECT_EQ(2, iconAdds.load());  // added again when the notification area is rebuilt

        // Both ways to start report a thread that cannot start, and leave the broadcast off.
        startError = 11;
        PostMessageW(app.window(), WM_COMMAND, ID_START, 0);
        EXPECT_TRUE(Dismiss(kSenderCaption));
        PostMessageW(app.window(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(Dismiss(kSenderCaption));
        EXPECT_EQ(std::make_pair(true, false), StartStop(app));

        // While the settings dialog is open, start is grey even with no broadcast.
        PostMessageW(app.window(), WM_COMMAND, ID_SETTINGS, 0);
        HWND settings = dialog;
        EXPECT_TRUE(test::WaitUntil(
            [&] { return (settings = GetLastActivePopup(app.window())) != dialog; }));
        EXPECT_FALSE(StartStop(app).first);
        EXPECT_TRUE(Dismiss(nullptr, settings));
        EXPECT_TRUE(test::WaitUntil([&] { return StartStop(app).first; }));

        startError = 0;
        PostMessageW(app.window(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(test::WaitUntil([&] { return app.broadcaster().pictureCounter() > 0; }));
        EXPECT_EQ(std::make_pair(false, true), StartStop(app));
        answer = SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0);  // Windows asks to shut down
    });
    EXPECT_EQ(0, app.Run());
    user.join();
    EXPECT_EQ(TRUE, answer.load());
    EXPECT_FALSE(app.broadcaster().threadRunning());  // ended before the program goes
    EXPECT_EQ(std::wstring(bad, bad + std::strlen(bad)), test::ReadFileText(ini));  // unwritten
}

}  // namespace
}  // namespace telvo
