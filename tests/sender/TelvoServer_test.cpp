// TelvoServer.exe under Wine as a user would use it; in-process, its menus and the capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "protocol/ScreenBitmap.h"
#include "sender/ScreenCapture_win.h"
#include "sender/TrayApp_win.h"
#include "sender/res/resource.h"
#include "tests/NetworkTest.h"
#include "tests/win/AdapterLab.h"
#include "tests/win/ProgramDriver.h"

namespace telvo {
namespace {

std::atomic<int> iconAdds{0};
BOOL WINAPI CountIconAdds(DWORD message, NOTIFYICONDATAW* data) {
    iconAdds += message == NIM_ADD && data->uID == kTrayIconId;
    return TRUE;
}

std::pair<bool, bool> StartStopEnabled(const TrayApp& app) {
    const UniqueMenu menu = app.LoadTrayMenu();
    const auto enabled = [&](UINT id) {
        return (GetMenuState(GetSubMenu(menu.get(), 0), id, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    return {enabled(ID_START), enabled(ID_STOP)};
}

constexpr DWORD kWaitMs = 30000;  // a loaded machine under Wine can be slow to show a window

void Confirm(HWND dialog, const wchar_t* channel) {  // every second on `channel`
    SetDlgItemTextW(dialog, IDC_INTERVAL_EDIT, L"1");
    SetDlgItemTextW(dialog, IDC_CHANNEL_EDIT, channel);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST(Server, BroadcastsAsToldFromStartUpToExitAndKeepsItsSettingsFile) {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 1));
    const std::wstring folder = test::MakeFreshFolder(L"server");
    const std::wstring ini = folder + L"\\TelvoServer.ini";
    const std::wstring executable = test::CopyInto(TELVO_SERVER_EXE, folder);
    test::ChannelListener channel1(54321), channel3(54323), channel4(54324);
    test::Program program;

    // A double-click during the start-up dialog starts a broadcast that confirming it moves.
    ASSERT_TRUE(program.Start(executable, folder));
    const HWND dialog = test::WaitForDialog(program.id, L"配信設定", kWaitMs);
    ASSERT_NE(nullptr, dialog);
    const HWND window =
        test::WaitForWindow(program.id, kSenderWindowClass, kSenderCaption, kWaitMs);
    ScreenPacketHeader picture;
    PostMessageW(window, kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(channel1.Next(&picture, 10000, true));
    EXPECT_EQ(0u, picture.pictureNumber);
    Confirm(dialog, L"3");
    test::Program second;  // leaves the first alone
    EXPECT_TRUE(second.Start(executable, folder) && second.ExitsCleanly(kWaitMs));

    // An unchanged screen goes out as the same stream (viewers complete pictures with it).
    POINT cursor{};
    GetCursorPos(&cursor);
    std::map<std::uint32_t, std::map<std::uint32_t, std::vector<std::uint8_t>>> streams;
    std::vector<std::uint8_t> data;
    while (streams.size() < 4 && channel3.Next(&picture, 10000, false, &data)) {
        streams[picture.pictureNumber][picture.fragmentIndex] = data;
        EXPECT_EQ(
            std::tuple(cursor.y, 1, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)),
            std::tuple(picture.cursorY, picture.flags, picture.width, picture.height));
    }
    ASSERT_EQ(4u, streams.size());  // the first and the last may be partial
    EXPECT_GE(streams.begin()->first, 1u);
    EXPECT_EQ(streams.begin()->first + 3, streams.rbegin()->first);
    EXPECT_EQ(std::next(streams.begin())->second, std::next(streams.begin(), 2)->second);

    // The settings command moves the broadcast and saves at once; stop and start go on.
    PostMessageW(window, WM_COMMAND, ID_SETTINGS, 0);
    Confirm(test::WaitForDialog(program.id, L"配信設定", kWaitMs), L"4");
    EXPECT_TRUE(test::WaitUntil(
        [&] { return test::ReadFileText(ini).find(L"Channel=4") != std::wstring::npos; },
        std::chrono::seconds(30)));
    ASSERT_TRUE(channel4.Next(&picture, 10000, true));
    const std::uint32_t moved = picture.pictureNumber;
    PostMessageW(window, WM_COMMAND, ID_STOP, 0);
    PostMessageW(window, kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(channel4.Next(&picture, 10000, true));
    EXPECT_EQ(moved + 1, picture.pictureNumber);
    while (channel3.Next(&picture, 0)) EXPECT_LT(picture.pictureNumber, moved);

    PostMessageW(window, WM_COMMAND, ID_EXIT, 0);
    ASSERT_TRUE(program.ExitsCleanly(kWaitMs));
    EXPECT_EQ(
        L"\xFEFF[TelvoServer]\r\nCaptureInterval=1000\r\nCompress=1\r\nChannel=4\r\n"
        L"ToAddress=224.3.2.1\r\nBasePort=54321\r\nInterface=\r\nTTL=1\r\n",
        test::ReadFileText(ini));
}

// On a computer with two adapters the dialog lists them, also when one goes while it is open, and
// the pictures leave through the one of the settings with their time-to-live: a host behind it
// gets every picture, with a time-to-live of 4. When that adapter goes, the broadcast goes on.
TEST(Server, SendsThroughTheAdapterOfItsSettingsWithItsTimeToLive) {
    TELVO_REQUIRE_TEST_NETWORK();
    test::AdapterLab lab;
    ASSERT_TRUE(lab.Up()) << "the lab needs root and the native build (tools/build.sh native)";
    const std::wstring folder = test::MakeFreshFolder(L"server-adapter");
    const std::wstring ini = folder + L"\\TelvoServer.ini";
    ASSERT_TRUE(test::WriteFileBytes(ini,
                                     "[TelvoServer]\r\nBasePort=49200\r\n"
                                     "Interface=198.18.2.1\r\nTTL=4\r\n"));
    test::Program program;
    ASSERT_TRUE(program.Start(test::CopyInto(TELVO_SERVER_EXE, folder), folder));
    const HWND dialog = test::WaitForDialog(program.id, L"配信設定", kWaitMs);
    ASSERT_NE(nullptr, dialog);
    const HWND list = GetDlgItem(dialog, IDC_ADAPTER);
    std::vector<std::wstring> items;
    for (LRESULT i = 0; i < SendMessageW(list, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[256] = L"";
        if (SendMessageW(list, CB_GETLBTEXTLEN, i, 0) < 256) {
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        }
        items.push_back(text);
    }
    auto listed = [&](const wchar_t* address) {
        return std::count_if(items.begin(), items.end(), [&](const std::wstring& item) {
            return item.find(L"(" + std::wstring(address) + L")") != std::wstring::npos;
        });
    };
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(L"自動", items[0]);
    EXPECT_EQ(4u, items.size());
    EXPECT_TRUE(listed(L"127.0.0.1") == 1 && listed(L"198.18.1.1") == 1 &&
                listed(L"198.18.2.1") == 1);
    EXPECT_NE(std::wstring::npos, test::WindowText(list).find(L"(198.18.2.1)"));  // chosen
    ASSERT_TRUE(lab.DeleteSecond());
    SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);  // listed anew as it drops down
    SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(L"198.18.2.1 (見つかりません)", test::WindowText(list));
    ASSERT_TRUE(lab.AddSecond());
    const std::string probed = "/tmp/telvo-probe-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(lab.Probe(49200, 3, probed));
    Confirm(dialog, L"1");

    ASSERT_TRUE(test::WaitUntil([&] { return test::AdapterLab::Exists(probed); },
                                std::chrono::seconds(60)));
    std::string line;
    std::getline(std::ifstream(test::AdapterLab::WindowsPath(probed).c_str()), line);
    EXPECT_EQ("complete 3 incomplete 0 ttl 4 4", line);
    DeleteFileW(test::AdapterLab::WindowsPath(probed).c_str());
    // The adapter goes during the broadcast: the pictures go on through the system's choice, the
    // first adapter, on which this computer hears the group.
    ASSERT_EQ(0, StartSockets(1, 1));
    test::ChannelListener firstAdapter(49200);
    ASSERT_TRUE(firstAdapter.ok() && lab.DeleteSecond());
    ScreenPacketHeader picture;
    EXPECT_TRUE(firstAdapter.Next(&picture, 10000, true));
    const HWND window =
        test::WaitForWindow(program.id, kSenderWindowClass, kSenderCaption, kWaitMs);
    PostMessageW(window, WM_COMMAND, ID_EXIT, 0);
    ASSERT_TRUE(program.ExitsCleanly(kWaitMs));
    EXPECT_NE(std::wstring::npos,
              test::ReadFileText(ini).find(L"\r\nInterface=198.18.2.1\r\nTTL=4\r\n"));
}

TEST(TrayApp, TheMenuFollowsTheStateTheIconComesBackAndShutdownEndsTheBroadcastFirst) {
    TELVO_REQUIRE_TEST_NETWORK();
    const std::wstring ini = test::MakeFreshFolder(L"tray") + L"\\TelvoServer.ini";
    const std::string bad = "[TelvoServer]\r\nCompress=0\r\nChannel=9\r\nBasePort=70000\r\n";
    ASSERT_TRUE(test::WriteFileBytes(ini, bad));
    TrayApp app(GetModuleHandleW(nullptr), ini, StartDetachedThread, CountIconAdds);
    std::atomic<LRESULT> answer{-1};
    std::thread user([&] {  // while the start-up dialog is open
        const HWND dialog = test::WaitForDialog(GetCurrentProcessId(), L"配信設定", kWaitMs);
        EXPECT_EQ(L"1", test::WindowText(GetDlgItem(dialog, IDC_CHANNEL_EDIT)));  // 9 is no channel
        SendMessageW(app.window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        EXPECT_EQ(2, iconAdds.load());  // added again when the notification area is rebuilt
        EXPECT_EQ(std::make_pair(true, false), StartStopEnabled(app));
        PostMessageW(app.window(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(test::WaitUntil([&] { return app.broadcaster().pictureCounter() > 0; }));
        EXPECT_EQ(std::make_pair(false, true), StartStopEnabled(app));
        answer = SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0);  // Windows asks to shut down
    });
    EXPECT_EQ(0, app.Run());
    user.join();
    EXPECT_EQ(TRUE, answer.load());
    EXPECT_FALSE(app.broadcaster().threadRunning());  // ended before the program goes
    EXPECT_EQ(std::wstring(bad.begin(), bad.end()), test::ReadFileText(ini));  // unwritten
}

std::mutex tipLock;
std::wstring lastTip;
BOOL WINAPI RecordTips(DWORD message, NOTIFYICONDATAW* data) {
    std::lock_guard<std::mutex> lock(tipLock);
    if (message == NIM_MODIFY && (data->uFlags & NIF_TIP) != 0) lastTip = data->szTip;
    return TRUE;
}

// An adapter of the settings that is not there: the dialog keeps it, the pictures go out through
// the system's choice, and the tip says so.
TEST(TrayApp, AnAdapterThatIsNotThereLeavesTheChoiceToTheSystemAndTheTipSaysSo) {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 1));
    const std::wstring ini = test::MakeFreshFolder(L"tray-adapter") + L"\\TelvoServer.ini";
    ASSERT_TRUE(test::WriteFileBytes(ini,
                                     "[TelvoServer]\r\nBasePort=49300\r\n"
                                     "Interface=198.18.99.1\r\n"));
    test::ChannelListener channel1(49300);
    TrayApp app(GetModuleHandleW(nullptr), ini, StartDetachedThread, RecordTips);
    std::thread user([&] {
        const HWND dialog = test::WaitForDialog(GetCurrentProcessId(), L"配信設定", kWaitMs);
        EXPECT_EQ(L"198.18.99.1 (見つかりません)",
                  test::WindowText(GetDlgItem(dialog, IDC_ADAPTER)));
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        ScreenPacketHeader picture;
        EXPECT_TRUE(channel1.Next(&picture, 10000));
        EXPECT_TRUE(test::WaitUntil([] {
            std::lock_guard<std::mutex> lock(tipLock);
            return lastTip == std::wstring(L"TelvoServer(1ch)") + kInterfaceFallbackNote;
        }));
        PostMessageW(app.window(), WM_COMMAND, ID_EXIT, 0);
    });
    EXPECT_EQ(0, app.Run());
    user.join();
    EXPECT_NE(std::wstring::npos, test::ReadFileText(ini).find(L"\r\nInterface=198.18.99.1\r\n"));
}

constexpr COLORREF kLeft = RGB(200, 30, 40), kRight = RGB(20, 60, 220), kDot = RGB(0, 255, 0);

// A borderless top-most window at (40, 50): its left half, its right half, a dot at (10, 5).
struct PatternWindow {
    PatternWindow(int width, int height)
        : window(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"STATIC", L"",
                                 WS_POPUP | WS_VISIBLE, 40, 50, width, height, nullptr, nullptr,
                                 nullptr, nullptr)) {
        test::PumpUntil([] { return true; });  // painted as it shows, then drawn on
        const WindowDc dc(window, WindowDc::Area::kClient);
        const UniqueGdiObject left(CreateSolidBrush(kLeft)), right(CreateSolidBrush(kRight));
        const RECT whole{0, 0, width, height}, half{0, 0, width / 2, height};
        FillRect(dc.get(), &whole, static_cast<HBRUSH>(right.get()));
        FillRect(dc.get(), &half, static_cast<HBRUSH>(left.get()));
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
    {
        const PatternWindow pattern(101, 37);  // 303 bytes a row: one byte of padding
        ShowCursor(FALSE);                     // a hidden pointer is not drawn
        ASSERT_TRUE(CaptureWindow(pattern.window, picture));
        ShowCursor(TRUE);
        ASSERT_TRUE(CaptureWindow(pattern.window, pointer));
    }
    ASSERT_EQ(NeededLength(101, 37), picture.capacity());
    int wrong = 0;  // pixels, padding, and pixels above or left of the pointer's hotspot
    for (std::uint32_t y = 0; y < 37; ++y) {
        wrong += picture.get()[54 + y * 304 + 303] != 0;  // padding
        for (std::uint32_t x = 0; x < 101; ++x) {
            wrong += PixelAt(picture, x, y) != (x == 10 && y == 5 ? kDot : x < 50 ? kLeft : kRight);
            wrong += (x < 20 || y < 10) && PixelAt(pointer, x, y) != PixelAt(picture, x, y);
        }
    }
    EXPECT_EQ(0, wrong);
    EXPECT_NE(PixelAt(picture, 20, 10), PixelAt(pointer, 20, 10));  // the hotspot itself
}

}  // namespace
}  // namespace telvo
