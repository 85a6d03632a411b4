// TelvoServer.exe started under Wine in a folder of its own and used as a user would: its start-up
// dialog, its hidden window's commands and tray callbacks, its settings file, and the datagrams it
// puts on the wire.
#include <gtest/gtest.h>

#include <chrono>
#include <iterator>
#include <map>
#include <vector>

#include "sender/TrayApp_win.h"
#include "sender/res/resource.h"
#include "tests/NetworkTest.h"
#include "tests/win/ProgramDriver.h"

namespace telvo {
namespace {

using test::ChannelListener;
using test::Program;
using test::WaitUntil;

constexpr DWORD kWindowWaitMs =
    30000;  // a loaded machine under Wine can be slow to show the first window

class Server : public ::testing::Test {
  protected:
    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
        folder = test::MakeFreshFolder(L"server");
        executable = test::CopyInto(test::BuildPath(L"sender\\TelvoServer.exe"), folder);
        ASSERT_FALSE(executable.empty());
        ini = folder + L"\\TelvoServer.ini";
    }

    // Starts the program and waits for its start-up dialog.
    HWND Start() {
        if (!program.Start(executable, folder)) return nullptr;
        return test::WaitForDialog(program.id(), L"配信設定", kWindowWaitMs);
    }
    HWND HiddenWindow() {
        return test::WaitForWindow(program.id(), kSenderWindowClass, kSenderCaption, kWindowWaitMs);
    }
    // Types into the dialog's boxes and presses OK.
    static void Confirm(HWND dialog, const wchar_t* seconds, const wchar_t* channel) {
        SendMessageW(GetDlgItem(dialog, IDC_INTERVAL_EDIT), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(seconds));
        SendMessageW(GetDlgItem(dialog, IDC_CHANNEL_EDIT), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(channel));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    std::wstring Ini(const wchar_t* key) {
        wchar_t value[256] = L"";
        GetPrivateProfileStringW(L"TelvoServer", key, L"(none)", value, 256, ini.c_str());
        return value;
    }

    std::wstring folder, executable, ini;
    Program program;
};

TEST_F(Server, TheStartUpDialogStartsABroadcastThatStopsStartsAndEndsAsTold) {
    ChannelListener channel1(kDefaultGroup, 54321), channel3(kDefaultGroup, 54323);
    ASSERT_TRUE(channel3.ok());
    const HWND dialog = Start();
    ASSERT_NE(nullptr, dialog) << "the program " << (program.running() ? "runs" : "ended");
    // A double-click on the icon while the dialog is open starts a broadcast on the settings
    // from before; confirming the dialog then moves it, with no second broadcast thread.
    ScreenPacketHeader picture;
    PostMessageW(HiddenWindow(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(channel1.NextPicture(&picture, 10000));
    EXPECT_EQ(0u, picture.pictureNumber);
    EXPECT_EQ(L"ｷｬﾌﾟﾁｬ開始", test::ItemText(dialog, IDOK));
    EXPECT_EQ(L"終了", test::ItemText(dialog, IDCANCEL));
    EXPECT_EQ(L"1", test::ItemText(dialog, IDC_CHANNEL_EDIT));
    EXPECT_EQ(L"5", test::ItemText(dialog, IDC_INTERVAL_EDIT));
    EXPECT_EQ(BST_CHECKED, SendDlgItemMessageW(dialog, IDC_COMPRESS, BM_GETCHECK, 0, 0));
    Confirm(dialog, L"1", L"3");

    std::chrono::steady_clock::time_point arrivals[3];
    for (std::uint32_t number = 1; number < 4; ++number) {
        ASSERT_TRUE(channel3.NextPicture(&picture, 10000)) << number;
        arrivals[number - 1] = std::chrono::steady_clock::now();
        EXPECT_EQ(number, picture.pictureNumber);
        EXPECT_EQ(1u, picture.flags);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), picture.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), picture.height);
    }
    for (int i = 1; i < 3; ++i) {
        const auto gap =
            std::chrono::duration_cast<std::chrono::milliseconds>(arrivals[i] - arrivals[i - 1]);
        EXPECT_GE(gap.count(), 850) << "a picture a second";
        EXPECT_LE(gap.count(), 1600);
    }

    // An unchanged screen goes out as the same stream every time, which lets a viewer complete a
    // picture with the fragments of earlier ones.
    std::map<std::uint32_t, std::map<std::uint32_t, std::vector<std::uint8_t>>> streams;
    while (streams.size() < 4 && channel3.Next(&picture, 3000)) {
        streams[picture.pictureNumber][picture.fragmentIndex] = channel3.LastData();
    }
    ASSERT_EQ(4u, streams.size());  // the first and the last may be partial
    const auto second = std::next(streams.begin());
    EXPECT_EQ(second->second, std::next(second)->second);

    const HWND hidden = HiddenWindow();
    ASSERT_NE(nullptr, hidden);
    EXPECT_FALSE(IsWindowVisible(hidden));
    PostMessageW(hidden, WM_COMMAND, ID_STOP, 0);
    while (channel3.Next(&picture, 1500)) {
    }
    PostMessageW(hidden, kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);  // start again
    ASSERT_TRUE(channel3.NextPicture(&picture, 10000));
    const std::uint32_t lastBeforeStop = streams.rbegin()->first;
    EXPECT_GE(picture.pictureNumber, lastBeforeStop + 1);  // the numbers go on
    EXPECT_LE(picture.pictureNumber, lastBeforeStop + 3);

    PostMessageW(hidden, WM_COMMAND, ID_HELP_TOPICS, 0);
    const HWND help =
        test::WaitForWindow(program.id(), nullptr, L"TelvoServer ヘルプ", kWindowWaitMs);
    EXPECT_NE(nullptr, help);
    PostMessageW(hidden, WM_COMMAND, ID_EXIT, 0);
    DWORD code = 1;
    ASSERT_TRUE(program.WaitExit(kWindowWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(
        L"\xFEFF[TelvoServer]\r\nCaptureInterval=1000\r\nCompress=1\r\nChannel=3\r\n"
        L"ToAddress=224.3.2.1\r\nBasePort=54321\r\n",
        test::ReadFileText(ini));
}

TEST_F(Server, TheSettingsCommandMovesARunningBroadcastAndASecondCopyLeavesItAlone) {
    ChannelListener channel1(kDefaultGroup, 54321), channel4(kDefaultGroup, 54324);
    const HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    Confirm(dialog, L"1", L"1");
    ScreenPacketHeader picture;
    ASSERT_TRUE(channel1.NextPicture(&picture, 10000));

    Program second;
    ASSERT_TRUE(second.Start(executable, folder));
    DWORD code = 1;
    ASSERT_TRUE(second.WaitExit(kWindowWaitMs, &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(channel1.NextPicture(&picture, 10000));  // the first goes on

    const HWND hidden = HiddenWindow();
    PostMessageW(hidden, WM_COMMAND, ID_SETTINGS, 0);
    const HWND settings = test::WaitForDialog(program.id(), L"配信設定", kWindowWaitMs);
    ASSERT_NE(nullptr, settings);
    EXPECT_EQ(L"OK", test::ItemText(settings, IDOK));
    EXPECT_EQ(L"ｷｬﾝｾﾙ", test::ItemText(settings, IDCANCEL));
    Confirm(settings, L"1", L"4");
    ASSERT_TRUE(test::WaitForWindowGone(settings, kWindowWaitMs));
    // Saved at once: the program writes the file just after its dialog is gone.
    EXPECT_TRUE(WaitUntil([&] { return Ini(L"Channel") == L"4"; }));
    ASSERT_TRUE(channel4.NextPicture(&picture, 10000));
    const std::uint32_t moved = picture.pictureNumber;
    ASSERT_TRUE(channel4.NextPicture(&picture, 10000));
    EXPECT_EQ(moved + 1, picture.pictureNumber);
    while (channel1.Next(&picture, 0)) {  // drain what was sent before the move
    }
    EXPECT_FALSE(channel1.Next(&picture, 1500));
}

TEST_F(Server, BadSettingsFilesNeitherCrashNorLoseTheOtherSettings) {
    ASSERT_TRUE(
        test::WriteFileBytes(ini,
                             "[TelvoServer]\r\nCaptureInterval=5,000\r\nCompress=0\r\nChannel=9\r\n"
                             "ToAddress=224.3.2.1\r\nBasePort=70000\r\n"));
    ChannelListener channel1(kDefaultGroup, 4464);  // the low 16 bits of 70000
    HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"1", test::ItemText(dialog, IDC_CHANNEL_EDIT));  // 9 is no channel
    EXPECT_EQ(BST_UNCHECKED, SendDlgItemMessageW(dialog, IDC_COMPRESS, BM_GETCHECK, 0, 0));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ScreenPacketHeader picture;
    ASSERT_TRUE(channel1.NextPicture(&picture, 10000));
    EXPECT_EQ(0u, picture.flags);
    PostMessageW(HiddenWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.WaitExit(kWindowWaitMs));
    EXPECT_EQ(L"0", Ini(L"Compress"));
    EXPECT_EQ(L"1", Ini(L"Channel"));
    EXPECT_EQ(L"4464", Ini(L"BasePort"));
    EXPECT_EQ(L"224.3.2.1", Ini(L"ToAddress"));

    // With a read-only file the program runs and ends as usual. (Tests run as root, for whom
    // Wine still writes such a file; then it must hold the settings just confirmed.)
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    Program readOnly;
    ASSERT_TRUE(readOnly.Start(executable, folder));
    dialog = test::WaitForDialog(readOnly.id(), L"配信設定", kWindowWaitMs);
    ASSERT_NE(nullptr, dialog);
    Confirm(dialog, L"7", L"2");
    const HWND hidden =
        test::WaitForWindow(readOnly.id(), kSenderWindowClass, kSenderCaption, kWindowWaitMs);
    PostMessageW(hidden, WM_COMMAND, ID_EXIT, 0);
    DWORD code = 1;
    ASSERT_TRUE(readOnly.WaitExit(kWindowWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(L"4464", Ini(L"BasePort"));
    EXPECT_EQ(L"224.3.2.1", Ini(L"ToAddress"));
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Server, CancellingTheStartUpDialogEndsTheProgramAndWritesNothing) {
    const HWND dialog = Start();
    ASSERT_NE(nullptr, dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    DWORD code = 1;
    ASSERT_TRUE(program.WaitExit(kWindowWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ini.c_str()));
}

}  // namespace
}  // namespace telvo
