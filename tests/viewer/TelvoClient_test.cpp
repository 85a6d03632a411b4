// TelvoClient.exe itself under Wine, watched as a user would: its settings file, its caption, the
// pixels it paints, its frame and panel, and how it ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>  // after windows.h

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/win/AdapterLab.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

using test::OneDatagram;
using test::WaitUntil;
using Client = test::ClientTest;
constexpr auto npos = std::wstring::npos;

RECT WindowRect(HWND window, bool client = false) {
    RECT rect{};
    client ? GetClientRect(window, &rect) : GetWindowRect(window, &rect);
    return rect;
}
bool operator==(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != 0;
}
// The larger of the process's working set and its private bytes.
std::size_t PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return std::max<std::size_t>(counters.WorkingSetSize, counters.PrivateUsage);
}

// A first start writes its settings; a channel key switches and is stored. Full screen on a screen
// of the picture's size shows it pixel for pixel (no sunken edge), and a smaller picture after a
// larger one leaves nothing of it. The panel switches channels and goes full screen from a
// maximized frame (F11 comes back); it takes the frame's keys: Alt+F4 there ends the program with
// the settings left as they are.
TEST_F(Client, AFirstStartFullScreenAndThePanelWithTheFramesKeys) {
    Start();
    EXPECT_EQ(
        L"\xFEFF[TelvoClient]\r\nChannel=1\r\nToAddress=224.3.2.1\r\nBasePort=54321\r\n"
        L"SaveDir=\r\nSaveInterval=60\r\n",
        Ini());  // written by the start-up itself
    test::TypeKey(frame, '3', true);
    ASSERT_TRUE(CaptionBecomes(L"Channel 3 [No.0]"));
    EXPECT_NE(npos, Ini().find(L"\r\nChannel=3\r\n"));

    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const RECT screen{0, 0, width, height};
    auto edge = [&] { return GetWindowLongW(view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE; };
    ASSERT_NE(0, edge());
    test::TypeKey(frame, VK_F11);
    ASSERT_TRUE(WaitUntil([&] { return WindowRect(view, true) == screen; }));
    // A page of coloured text: every pixel counts.
    auto page = [](int x, int y) {
        const bool stroke = y % 14 < 10 && (x % 7 == 0 || (y % 14 % 4 == 0 && x % 7 < 5));
        return stroke ? RGB(20 + x % 50, 10, 90 + y % 60) : RGB(250, 248 - x % 3, 240);
    };
    ASSERT_TRUE(ShowOn(54323, test::MakePicture(width, height, page)));
    EXPECT_TRUE(WaitUntil([&] {  // equal: an infinite PSNR
        const test::ScreenPixels pixels(view);
        for (int i = 0; i < width * height; ++i) {
            if (pixels.at(i % width, i / width) != page(i % width, i / width)) return false;
        }
        return true;
    }));
    // Red over the whole screen, then a lower blue one at the top-left corner: no red stays.
    constexpr COLORREF red = RGB(255, 0, 0), blue = RGB(0, 0, 255);
    ++number;
    ASSERT_TRUE(ShowOn(54323, test::MakePicture(width, height, [](int, int) { return red; })));
    ++number;
    ASSERT_TRUE(ShowOn(54323, test::MakePicture(width, 300, [](int, int) { return blue; })));
    EXPECT_TRUE(WaitUntil([&] {
        const test::ScreenPixels pixels(view);
        for (int i = 0; i < width * height; ++i) {
            const COLORREF shown = pixels.at(i % width, i / width);
            if (i / width < 300 ? shown != blue : shown == red) return false;
        }
        return true;
    }));
    test::TypeKey(frame, VK_F11);
    EXPECT_TRUE(WaitUntil([&] { return edge() != 0 && GetMenu(frame) != nullptr; }));

    // Fit to window: the frame never resizes itself, and can be maximized.
    Command(ID_VIEW_FIT_TO_WINDOW);
    const HWND panel = test::WaitForWindow(program.id, L"#32770", L"操作ﾊﾟﾈﾙ", kWaitMs);
    ASSERT_NE(nullptr, panel);
    auto item = [&](int id) { return GetDlgItem(panel, id); };
    auto pressed = [&](int id) { return SendMessageW(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    auto click = [&](int id) { PostMessageW(item(id), BM_CLICK, 0, 0); };
    Command(ID_CONTROL_PANEL);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(panel) != 0; }));
    click(IDC_CHANNEL1);
    ASSERT_TRUE(CaptionBecomes(L"Channel 1 [No.0]"));
    EXPECT_TRUE(WaitUntil([&] { return pressed(IDC_CHANNEL1) && !pressed(IDC_CHANNEL3); }));

    // Full screen from a maximized frame: no caption, edges or menu; back, the maximized frame as
    // it was.
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    auto edges = [&] { return GetWindowLongW(frame, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME); };
    PostMessageW(frame, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] {  // the style comes before the move
        const RECT at = WindowRect(frame);
        return IsZoomed(frame) && at.left <= work.left && at.top <= work.top &&
               at.right >= work.right && at.bottom >= work.bottom;
    }));
    const RECT windowed = WindowRect(frame);
    click(IDC_FULL_SCREEN);
    ASSERT_TRUE(WaitUntil([&] { return WindowRect(frame) == screen; }));
    EXPECT_TRUE(pressed(IDC_FULL_SCREEN) && edges() == 0 && GetMenu(frame) == nullptr);
    test::TypeKey(frame, VK_F11);  // and back with the frame's key
    EXPECT_TRUE(
        WaitUntil([&] { return WindowRect(frame) == windowed && !pressed(IDC_FULL_SCREEN); }));
    EXPECT_EQ(WS_CAPTION | WS_THICKFRAME, edges());
    EXPECT_TRUE(GetMenu(frame) != nullptr && IsZoomed(frame));

    // With the panel in front, Alt+F4 ends the program (not only the panel), the settings left as
    // they are.
    const std::string bad = "[TelvoClient]\r\nChannel=7\r\n";  // as no start-up writes it
    ASSERT_TRUE(test::WriteFileBytes(IniPath(), bad));
    test::TypeKey(panel, VK_F4, true);
    ASSERT_TRUE(program.ExitsCleanly(kWaitMs));
    EXPECT_EQ(std::wstring(bad.begin(), bad.end()), Ini());
}

// Each view mode paints its rectangle and fits the frame (fixed aspect) or not; reduced thin lines
// keep their light.
TEST_F(Client, EachViewModePaintsWhereItShouldAndTheFrameFollowsThePictureOnlyWhereItShould) {
    Start("[TelvoClient]\r\nBasePort=48600\r\n");
    ASSERT_TRUE(test::SizeClientArea(frame, view, 800, 700));
    ASSERT_TRUE(ShowOn(48600, test::MakeDesktopPicture(1024, 768, 1)));
    EXPECT_TRUE(WaitUntil([&] { return WindowRect(view, true) == RECT{0, 0, 798, 600}; }));
    // Pixels inside the rectangle show the picture, the ones just outside do not.
    const COLORREF red = RGB(200, 30, 60);
    auto paints = [&](int right, int bottom) {
        return WaitUntil([&] {
            const test::ScreenPixels pixels(view);
            return pixels.at(0, 0) == red && pixels.at(right - 1, bottom - 1) == red &&
                   pixels.at(right, 0) != red && pixels.at(0, bottom) != red;
        });
    };
    // Fit to window takes any size and keeps it when pictures arrive; actual size shrinks the
    // frame to the picture. A side above 65535 is drawn too, in each mode.
    for (const SIZE size : {SIZE{200, 100}, SIZE{70000, 3}}) {
        Command(ID_VIEW_FIT_TO_WINDOW);
        ASSERT_TRUE(test::SizeClientArea(frame, view, 400, 300));
        ++number;
        ASSERT_TRUE(
            ShowOn(48600, test::MakePicture(size.cx, size.cy, [&](int, int) { return red; })));
        EXPECT_TRUE(paints(400, 300));
        Command(ID_VIEW_ACTUAL_SIZE);
        const LONG width = std::min(size.cx, 400L);
        EXPECT_TRUE(WaitUntil([&] { return WindowRect(view, true).right == width; }) &&
                    paints(width, size.cy));
    }
    Command(ID_VIEW_FIT_TO_WINDOW);
    ASSERT_TRUE(test::SizeClientArea(frame, view, 400, 300));

    // Thin lines keep their light when reduced: a checkerboard at half its size is an even grey
    // (a scaler that drops pixels would show black or white).
    ++number;
    ASSERT_TRUE(ShowOn(48600, test::MakePicture(800, 600, [](int x, int y) {
                           return (x + y) % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0);
                       })));
    EXPECT_TRUE(WaitUntil([&] {
        const test::ScreenPixels pixels(view);
        for (int i = 0; i < 400 * 300; ++i) {
            if (std::abs(GetGValue(pixels.at(i % 400, i / 400)) - 127.5) > 1) return false;
        }
        return true;
    }));
}

// One sender per channel, seen from the caption and the process: forged datagrams from the
// sender's own computer neither show nor hold memory, and a damaged stream numbered above the
// sender changes nothing. (Under Wine every datagram leaves from 127.0.0.1, whatever address its
// socket is bound to: senders on other addresses are tested on the receiver itself.)
TEST_F(Client, OnlyCompleteExactPicturesOfTheFollowedSenderMoveTheView) {
    Start("[TelvoClient]\r\nBasePort=49000\r\n");
    test::PortSink ours(49000), forger(49000);
    const auto picture = test::MakeDesktopPicture(320, 240, 1);
    std::uint32_t next = 10;
    auto shows = [&](std::uint32_t number) {  // our picture, at once: one try
        return SendPicture(ours, picture.data(), static_cast<std::uint32_t>(picture.size()), number,
                           0, 0, true) == 0 &&
               CaptionBecomes(L"[No." + std::to_wstring(number) + L"]");
    };
    auto sendOne = [](test::PortSink& sender, const std::vector<std::uint8_t>& datagram) {
        return sender.Send(datagram.data(), datagram.size()) == 0;
    };
    ASSERT_TRUE(shows(next));

    const auto dot = test::MakePicture(1, 1, [](int, int) { return RGB(1, 2, 3); });
    const auto claim = OneDatagram(dot, 100, kMaxPictureSize);  // 128 MiB in a few bytes
    const std::size_t before = PrivateBytes(program.process.get());
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(sendOne(forger, claim));
    EXPECT_TRUE(shows(++next));
    const std::size_t after = PrivateBytes(program.process.get());
    EXPECT_LT(after, before + 60 * 1024 * 1024) << claim.size() << " bytes each: " << before;

    // One datagram full of deflated zeros inflates to about 32 MiB, then fails its claimed size:
    // the block it took is not kept.
    const auto bomb = OneDatagram(std::vector<std::uint8_t>(32 << 20, 0), 200, 64 << 20);
    ASSERT_LE(bomb.size(), kMaxDatagramSize);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(sendOne(forger, bomb));
    EXPECT_TRUE(shows(++next));
    EXPECT_LT(PrivateBytes(program.process.get()), after + 30 * 1024 * 1024);

    auto damaged = OneDatagram(picture, 1000, static_cast<std::uint32_t>(picture.size()));
    damaged[kHeaderSize + 10] ^= 0xFF;
    ASSERT_TRUE(sendOne(ours, damaged));
    EXPECT_TRUE(shows(++next));
}

// A computer whose system would receive the group on its first adapter only: the viewer shows the
// pictures of a sender behind the second one, again soon after that adapter went and came back,
// and none of them when "Interface" names the first adapter.
TEST_F(Client, ReceivesOnEveryAdapterAgainWhenOneComesBackAndOnlyOnTheOneNamed) {
    test::AdapterLab lab;
    ASSERT_TRUE(lab.Up()) << "the lab needs root and the native build (tools/build.sh native)";
    constexpr std::uint16_t kPort = 49100;
    auto showsFrom = [&](std::uint32_t first, std::chrono::milliseconds timeout) {
        return WaitUntil(
            [&] {
                const std::wstring caption = test::WindowText(frame);
                const auto at = caption.find(L"[No.");
                return at != npos && std::wcstoul(caption.c_str() + at + 4, nullptr, 10) >= first;
            },
            timeout);
    };
    Start("[TelvoClient]\r\nBasePort=49100\r\n");
    ASSERT_TRUE(lab.Send(2, 100, kPort));
    EXPECT_TRUE(showsFrom(100, std::chrono::milliseconds(kWaitMs)));

    ASSERT_TRUE(lab.StopSending() && lab.DeleteSecond() && lab.AddSecond());
    ASSERT_TRUE(lab.Send(2, 1000, kPort));
    EXPECT_TRUE(showsFrom(1000, std::chrono::seconds(5)));  // within 5 s of its return

    ASSERT_TRUE(lab.StopSending());
    PostMessageW(frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(program.ExitsCleanly(kWaitMs));
    Start("[TelvoClient]\r\nBasePort=49100\r\nInterface=198.18.1.1\r\n");
    ASSERT_TRUE(lab.Send(2, 2000, kPort));
    EXPECT_FALSE(showsFrom(2000, std::chrono::seconds(4)));
    ASSERT_TRUE(lab.StopSending() && lab.Send(1, 3000, kPort));  // its own host is shown
    EXPECT_TRUE(showsFrom(3000, std::chrono::milliseconds(kWaitMs)));
}

}  // namespace
}  // namespace telvo
