// TelvoServer.exe under Wine as a user would use it; in-process, its menus, capture and guards.
#include <gtest/gtest.h>

#include <atomic>
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

// The notification area as the tray program sees it: icons taken, tips and balloons shown.
std::mutex trayLock;
int refusedAdds = 2;  // refused before one is taken, as before the taskbar exists
int trayAdds = 0;
std::vector<std::wstring> tips, balloons;
BOOL WINAPI RecordTray(DWORD message, NOTIFYICONDATAW* data) {
    const std::lock_guard<std::mutex> hold(trayLock);
    if (message == NIM_ADD && refusedAdds > 0) return --refusedAdds, FALSE;
    trayAdds += message == NIM_ADD && data->uID == kTrayIconId;
    if ((data->uFlags & NIF_TIP) != 0) tips.emplace_back(data->szTip);
    if ((data->uFlags & NIF_INFO) != 0) balloons.emplace_back(data->szInfo);
    return TRUE;
}
template <typename Value>
Value Locked(const Value& value) {
    const std::lock_guard<std::mutex> hold(trayLock);
    return value;
}
bool TipBecomes(const std::wstring& tip) {
    return test::WaitUntil([&] { return !Locked(tips).empty() && Locked(tips).back() == tip; },
                           std::chrono::seconds(30));
}

// Whether the menu items start, stop and settings are enabled.
std::tuple<bool, bool, bool> MenuEnabled(const TrayApp& app) {
    const UniqueMenu menu = app.LoadTrayMenu();
    const auto enabled = [&](UINT id) {
        return (GetMenuState(GetSubMenu(menu.get(), 0), id, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    return {enabled(ID_START), enabled(ID_STOP), enabled(ID_SETTINGS)};
}

constexpr DWORD kWaitMs = 30000;  // a loaded machine under Wine can be slow to show a window

void Confirm(HWND dialog, const wchar_t* channel, const wchar_t* seconds = L"1") {
    SetDlgItemTextW(dialog, IDC_INTERVAL_EDIT, seconds);
    SetDlgItemTextW(dialog, IDC_CHANNEL_EDIT, channel);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// The real sender from start-up to the session's end on a computer with two adapters. The dialog
// lists them. The pictures leave through the adapter of the settings with its time-to-live (a host
// behind it gets every picture), and go on through the system's choice, the first adapter, on
// which this computer hears the group, once it goes.
TEST(Server, BroadcastsAsToldThroughTheAdapterOfItsSettingsUntilTheSessionsEnd) {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 1));
    test::AdapterLab lab;
    ASSERT_TRUE(lab.Up()) << "the lab needs root and the native build (tools/build.sh native)";
    const std::wstring folder = test::MakeFreshFolder(L"server");
    const std::wstring ini = folder + L"\\TelvoServer.ini";
    const std::wstring executable = test::CopyInto(TELVO_SERVER_EXE, folder);
    ASSERT_TRUE(test::WriteFileBytes(ini,
                                     "[TelvoServer]\r\nCaptureInterval=1000\r\nBasePort=abc\r\n"
                                     "Interface=198.18.2.1\r\nTTL=4\r\n"));  // port 54321
    test::ChannelListener channel1(54321), channel3(54323), channel4(54324);
    test::Program program;
    const auto saved = [&](const wchar_t* text) {
        return test::WaitUntil(
            [&] { return test::ReadFileText(ini).find(text) != std::wstring::npos; },
            std::chrono::seconds(30));
    };

    ASSERT_TRUE(program.Start(executable, folder));
    const HWND dialog = test::WaitForDialog(program.id, L"配信設定", kWaitMs);
    ASSERT_NE(nullptr, dialog);
    const HWND list = GetDlgItem(dialog, IDC_ADAPTER);
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    std::wstring items;  // "自動|name (address)|..."
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = L"";
        if (SendMessageW(list, CB_GETLBTEXTLEN, i, 0) < 256) {
            SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        }
        items += text + std::wstring(L"|");
    }
    EXPECT_EQ(4, count);
    EXPECT_EQ(0u, items.find(L"自動|"));
    for (const wchar_t* address : {L"(127.0.0.1)|", L"(198.18.1.1)|", L"(198.18.2.1)|"}) {
        EXPECT_NE(std::wstring::npos, items.find(address)) << address;
    }
    EXPECT_NE(std::wstring::npos, test::WindowText(list).find(L"(198.18.2.1)"));  // chosen

    // A double-click during the start-up dialog starts a broadcast that confirming it moves.
    const std::string probed = "/tmp/telvo-probe-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(lab.Probe(54321, 3, probed));
    const HWND window =
        test::WaitForWindow(program.id, kSenderWindowClass, kSenderCaption, kWaitMs);
    PostMessageW(window, kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(test::WaitUntil([&] { return test::AdapterLab::Exists(probed); },
                                std::chrono::seconds(60)));
    EXPECT_EQ(L"complete 3 incomplete 0 ttl 4 4\n",
              test::ReadFileText(test::AdapterLab::WindowsPath(probed)));
    DeleteFileW(test::AdapterLab::WindowsPath(probed).c_str());
    ASSERT_TRUE(lab.DeleteSecond());
    ScreenPacketHeader picture;
    EXPECT_TRUE(channel1.Next(&picture, 10000, true));
    const HWND screens = GetDlgItem(dialog, IDC_MONITOR);  // the last: the whole desktop
    SendMessageW(screens, CB_SETCURSEL, SendMessageW(screens, CB_GETCOUNT, 0, 0) - 1, 0);
    Confirm(dialog, L"3", L"2");
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
    EXPECT_EQ(streams.begin()->first + 3, streams.rbegin()->first);
    EXPECT_EQ(std::next(streams.begin())->second, std::next(streams.begin(), 2)->second);

    // The start-up choices were saved; the settings command moves the broadcast and saves at once;
    // stop and start go on.
    EXPECT_TRUE(saved(L"CaptureInterval=2000\r\n") && saved(L"Channel=3\r\n"));
    PostMessageW(window, WM_COMMAND, ID_SETTINGS, 0);
    Confirm(test::WaitForDialog(program.id, L"配信設定", kWaitMs), L"4", L"2");
    EXPECT_TRUE(saved(L"Channel=4"));
    ASSERT_TRUE(channel4.Next(&picture, 10000, true));
    const std::uint32_t moved = picture.pictureNumber;
    PostMessageW(window, WM_COMMAND, ID_STOP, 0);
    PostMessageW(window, kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(channel4.Next(&picture, 10000, true));
    EXPECT_EQ(moved + 1, picture.pictureNumber);

    // Windows ends the session (a logoff, an update restart): saved before it would end the
    // process, the missing adapter kept. The file may still be open for its last keys.
    ASSERT_TRUE(test::WaitUntil([&] { return DeleteFileW(ini.c_str()) != FALSE; }));
    DWORD_PTR answer = FALSE;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kWaitMs, &answer);
    EXPECT_EQ(TRUE, answer);
    SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kWaitMs, &answer);
    const std::wstring expected =
        L"\xFEFF[TelvoServer]\r\nCaptureInterval=2000\r\nCompress=1\r\nChannel=4\r\n"
        L"ToAddress=224.3.2.1\r\nBasePort=54321\r\nMonitor=-1\r\nInterface=198.18.2.1\r\nTTL=4\r\n";
    EXPECT_EQ(expected, test::ReadFileText(ini));
    PostMessageW(window, WM_COMMAND, ID_EXIT, 0);
    ASSERT_TRUE(program.ExitsCleanly(kWaitMs));
    EXPECT_EQ(expected, test::ReadFileText(ini));
}

// The primary screen, and while `secondShown` a second monitor: a part of the primary one, where
// the test can look.
std::atomic<bool> secondShown{true};
std::vector<Monitor> TwoMonitors() {
    std::vector<Monitor> monitors = {
        {{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, true}};
    if (secondShown) monitors.push_back({{40, 50, 40 + 201, 50 + 137}, false});
    return monitors;
}

// Nonsense, an adapter that is not there and the second monitor in the ini, a late taskbar, a cable
// pulled and put back, the monitor unplugged, and Windows shutting down, all while the start-up
// dialog is open. The pictures go out through the system's adapter, and the tip (no channel in it
// before the dialog is confirmed) follows each state.
TEST(TrayApp, TheMenuTheIconAndTheTipFollowTheStateAndShutdownEndsTheBroadcastFirst) {
    TELVO_REQUIRE_TEST_NETWORK();
    ASSERT_EQ(0, StartSockets(1, 1));
    const std::wstring ini = test::MakeFreshFolder(L"tray") + L"\\TelvoServer.ini";
    const std::string bad =
        "[TelvoServer]\r\nCaptureInterval=1000\r\nCompress=0\r\nChannel=9\r\n"
        "BasePort=70000\r\nInterface=198.18.99.1\r\nMonitor=2\r\n";
    ASSERT_TRUE(test::WriteFileBytes(ini, bad));
    test::ChannelListener channel1(54321);
    TrayApp app(GetModuleHandleW(nullptr), ini, StartDetachedThread, RecordTray, TwoMonitors);
    SetCursorPos(40 + 100, 50 + 60);
    const std::wstring name = kSenderCaption, note = std::wstring(L"\n") + kInterfaceFallbackNote;
    std::atomic<LRESULT> answer{-1};
    std::thread user([&] {
        const HWND dialog = test::WaitForDialog(GetCurrentProcessId(), L"配信設定", kWaitMs);
        EXPECT_EQ(L"198.18.99.1 (見つかりません)",
                  test::WindowText(GetDlgItem(dialog, IDC_ADAPTER)));
        const HWND screens = GetDlgItem(dialog, IDC_MONITOR);  // primary, 1, 2, all
        EXPECT_EQ(std::tuple(4, 2), std::tuple(SendMessageW(screens, CB_GETCOUNT, 0, 0),
                                               SendMessageW(screens, CB_GETCURSEL, 0, 0)));
        EXPECT_TRUE(
            test::WaitUntil([] { return Locked(trayAdds) == 1; }, std::chrono::seconds(30)));
        SendMessageW(app.window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
        EXPECT_EQ(2, Locked(trayAdds));  // added again when the notification area is rebuilt
        EXPECT_EQ(std::tuple(true, false, false), MenuEnabled(app));  // no second settings dialog
        PostMessageW(app.window(), kTrayNotifyMessage, kTrayIconId, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(TipBecomes(name + note));
        ScreenPacketHeader picture;
        EXPECT_TRUE(channel1.Next(&picture, 10000, true));
        EXPECT_EQ(std::tuple(201, 137, 100, 60),
                  std::tuple(picture.width, picture.height, picture.cursorX, picture.cursorY));
        EXPECT_EQ(std::tuple(false, true, false), MenuEnabled(app));

        // The cable: pictures resume by themselves; the tray said so meanwhile, with one balloon.
        const auto nextPicture = [&] {
            while (channel1.Next(&picture, 0)) {
            }
            return channel1.Next(&picture, 10000, true);
        };
        EXPECT_TRUE(test::AdapterLab::Shell("/usr/sbin/ip route del 224.0.0.0/4"));
        EXPECT_TRUE(TipBecomes(name + L"\n送信できません" + note));
        EXPECT_TRUE(
            test::AdapterLab::Shell("/usr/sbin/ip route add 224.0.0.0/4 dev lo src 127.0.0.1"));
        EXPECT_TRUE(nextPicture());
        EXPECT_TRUE(TipBecomes(name + note));
        EXPECT_EQ(std::vector<std::wstring>{L"送信できません"}, Locked(balloons));

        secondShown = false;  // unplugged
        EXPECT_TRUE(TipBecomes(name + L"\n" + kMonitorFallbackNote + note));
        EXPECT_TRUE(nextPicture());
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), picture.width);
        answer = SendMessageW(dialog, WM_QUERYENDSESSION, 0, 0);  // Windows asks to shut down
    });
    EXPECT_EQ(0, app.Run());
    user.join();
    EXPECT_EQ(TRUE, answer.load());
    EXPECT_FALSE(app.broadcaster().threadRunning());  // ended before the program goes
    EXPECT_EQ(std::wstring(bad.begin(), bad.end()), test::ReadFileText(ini));  // unwritten
}

constexpr COLORREF kBack = RGB(20, 60, 220), kDot = RGB(0, 255, 0);

// A borderless top-most window at (40, 50) of one colour but for a dot at (10, 5).
using UniqueWindow = UniqueHandle<Win32Traits<HWND, DestroyWindow>>;
UniqueWindow ShowPattern(int width, int height) {
    static const ATOM pattern = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_PAINT) SetPixel(PaintDc(window).get(), 10, 5, kDot);
            return DefWindowProcW(window, message, wParam, lParam);
        };
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = CreateSolidBrush(kBack);
        windowClass.lpszClassName = L"TelvoTestPattern";
        return RegisterClassW(&windowClass);
    }();
    return UniqueWindow(CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MAKEINTATOM(pattern), L"",
                                        WS_POPUP | WS_VISIBLE, 40, 50, width, height, nullptr,
                                        nullptr, nullptr, nullptr));
}

// Blue, green, red of pixel (x, y) from the top-left of a captured picture.
COLORREF PixelAt(const CaptureSurface& picture, std::uint32_t x, std::uint32_t y) {
    BitmapLayout layout;
    if (!DescribeBitmap(picture.picture(), picture.length(), &layout)) return CLR_INVALID;
    const std::uint8_t* p = picture.picture() + layout.pixelOffset +
                            std::size_t{layout.height - 1 - y} * layout.stride + x * 3;
    return RGB(p[2], p[1], p[0]);
}

TEST(ScreenCapture, AnAreaComesOutPixelForPixelWithThePointerAtItsOwnSizeAndZeroPadding) {
    // A black 64 x 64 pointer with its hotspot in the middle, over (100, 60) of the window.
    const std::vector<std::uint8_t> andMask(64 * 64 / 8, 0), xorMask(64 * 64 / 8, 0);
    const HCURSOR large =
        CreateCursor(GetModuleHandleW(nullptr), 32, 32, 64, 64, andMask.data(), xorMask.data());
    ASSERT_NE(nullptr, large);
    SetCursorPos(40 + 100, 50 + 60);
    const RECT area{40, 50, 40 + 201, 50 + 137};  // the window's place on the screen
    CaptureSurface picture, pointer;
    {
        const UniqueWindow pattern = ShowPattern(201, 137);  // 603 bytes a row: one byte of padding
        ShowCursor(FALSE);                                   // a hidden pointer is not drawn
        ASSERT_TRUE(test::PumpUntil([&] {                    // once the window is on the screen
            return CaptureScreenArea(area, picture) && PixelAt(picture, 200, 136) == kBack;
        }));
        ShowCursor(TRUE);
        const HCURSOR previous = SetCursor(large);  // until messages are handled again
        ASSERT_TRUE(CaptureScreenArea(area, pointer));
        SetCursor(previous);
    }
    DestroyCursor(large);
    ASSERT_EQ(NeededLength(201, 137), picture.length());
    ASSERT_EQ(picture.length(), pointer.length());
    int wrong = 0;  // pixels, padding, and the pointer's square from (68, 28) to (131, 91)
    for (std::uint32_t y = 0; y < 137; ++y) {
        wrong += picture.picture()[54 + y * 604 + 603] != 0;  // padding
        for (std::uint32_t x = 0; x < 201; ++x) {
            wrong += PixelAt(picture, x, y) != (x == 10 && y == 5 ? kDot : kBack);
            const bool under = x >= 68 && x < 132 && y >= 28 && y < 92;
            wrong += PixelAt(pointer, x, y) != (under ? RGB(0, 0, 0) : PixelAt(picture, x, y));
        }
    }
    EXPECT_EQ(0, wrong);

    // The surface follows a new size.
    ASSERT_TRUE(CaptureScreenArea(RECT{0, 0, 3, 2}, picture));
    EXPECT_EQ(NeededLength(3, 2), picture.length());
    EXPECT_FALSE(CaptureScreenArea(RECT{5, 5, 5, 9}, picture));  // an empty area
}

// The screen's drawing context that capture takes is given back (a file left open fails the save
// tests, the other guards the pictures and pixels the tests read).
TEST(WinHandles, TheScreensContextIsGivenBack) {
    const HDC taken = WindowDc(nullptr, WindowDc::Area::kClient).get();
    EXPECT_NE(nullptr, taken);
    EXPECT_EQ(0, ReleaseDC(nullptr, taken));  // already given back
}

}  // namespace
}  // namespace telvo
