// TelvoClient.exe itself under Wine, watched as a user would: its settings file, its caption, the
// pixels it paints, its frame and panel, and how it ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/win/ProgramDriver.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

using test::WaitUntil;
using Client = test::ClientTest;
constexpr auto npos = std::wstring::npos;

std::wstring Title(int channel, std::uint32_t number) {
    return L"Channel " + std::to_wstring(channel) + L" [No." + std::to_wstring(number) + L"]";
}
RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}
RECT ClientRect(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return client;
}
bool operator==(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != 0;
}
bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 2 &&
           std::abs(GetGValue(a) - GetGValue(b)) <= 2 && std::abs(GetBValue(a) - GetBValue(b)) <= 2;
}
std::vector<std::uint8_t> Plain(int width, int height, COLORREF colour) {
    return test::MakePicture(width, height, [=](int, int) { return colour; });
}

TEST_F(Client, SettingsChannelsAndNumbersFromAFirstStartAndFromBadStoredValues) {
    Start();
    EXPECT_EQ(
        L"\xFEFF[TelvoClient]\r\nChannel=1\r\nToAddress=224.3.2.1\r\nBasePort=54321\r\n"
        L"SaveDir=\r\nSaveInterval=60\r\n",
        Ini());  // written by the start-up itself
    EXPECT_TRUE(CaptionHas(Title(1, 0)));
    const auto picture = test::MakeDesktopPicture(320, 240, 1);
    ASSERT_TRUE(ShowOn(54321, picture));
    test::TypeKey(frame, '3', true);
    ASSERT_TRUE(CaptionBecomes(Title(3, 0)));
    EXPECT_NE(npos, Ini().find(L"\r\nChannel=3\r\n"));
    // Channel 1's port is left: had its picture 1000 come in, channel 3's lower ones would not.
    ASSERT_TRUE(test::SendDatagrams(54321, test::Packetize(picture, 1000, false)));
    for (int i = 0; i < 2; ++i) {
        ++number;
        ASSERT_TRUE(ShowOn(54323, picture));
    }

    // The close box ends it with the settings left as they are.
    const std::string bad =
        "[TelvoClient]\r\nChannel=7\r\nBasePort=70000\r\nSaveDir=" + std::string(2000, 'd') +
        "\r\n";
    ASSERT_TRUE(test::WriteFileBytes(IniPath(), bad));
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 1;
    ASSERT_TRUE(program.WaitExit(kWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(std::wstring(bad.begin(), bad.end()), Ini());

    // Bad stored values are used as they stand until a channel is chosen.
    Start();
    EXPECT_TRUE(CaptionHas(Title(7, 0)));
    const std::wstring ini = Ini();
    EXPECT_NE(npos, ini.find(L"\r\nBasePort=4464\r\n"));
    EXPECT_NE(npos, ini.find(L"\r\nSaveDir=" + std::wstring(1023, L'd') + L"\r\n"));
    Command(ID_CHANNEL2);  // Alt+2
    ASSERT_TRUE(CaptionBecomes(Title(2, 0)));
    EXPECT_NE(npos, Ini().find(L"\r\nChannel=2\r\n"));
    EXPECT_TRUE(ShowOn(4465, picture));
}

TEST_F(Client, EachViewModePaintsItsRectangleAndReducedLightTextKeepsItsLight) {
    Start("[TelvoClient]\r\nBasePort=48300\r\n");
    ASSERT_TRUE(test::SizeClientArea(frame, view, 400, 300));
    const COLORREF red = RGB(200, 30, 60);
    ASSERT_TRUE(ShowOn(48300, Plain(200, 100, red)));
    // Pixels inside the rectangle show the picture, the ones just outside do not.
    auto paints = [&](int right, int bottom) {
        return WaitUntil([&] {
            const test::ScreenPixels pixels(view);
            return Near(red, pixels.at(0, 0)) && Near(red, pixels.at(right - 1, bottom - 1)) &&
                   (right >= 400 || !Near(red, pixels.at(right, 0))) &&
                   (bottom >= 300 || !Near(red, pixels.at(0, bottom)));
        });
    };
    EXPECT_TRUE(paints(400, 200));  // fixed aspect: P = 200 >= Q = 133, full width
    Command(ID_VIEW_ACTUAL_SIZE);
    EXPECT_TRUE(paints(200, 100));
    Command(ID_VIEW_FIT_TO_WINDOW);
    ASSERT_TRUE(test::SizeClientArea(frame, view, 400, 300));  // actual size had shrunk it
    EXPECT_TRUE(paints(400, 300));

    // Light "text" on dark reduced 2.5 times: each 20 x 20 block of the view keeps the mean
    // brightness of the 50 x 50 block it shows (dropping pixels would leave it nearly black).
    auto text = [](int x, int y) {
        const bool stroke = y % 16 < 12 && (x % 6 == 0 || (y % 16 % 5 == 0 && x % 6 < 4));
        return stroke ? RGB(230, 230, 230) : RGB(30, 30, 30);
    };
    ++number;
    ASSERT_TRUE(ShowOn(48300, test::MakePicture(1000, 750, text)));
    EXPECT_TRUE(WaitUntil([&] {
        const test::ScreenPixels pixels(view);
        for (int block = 0; block < 20 * 15; ++block) {
            const int bx = block % 20;
            const int by = block / 20;
            int shown = 0;
            int exact = 0;
            for (int i = 0; i < 50 * 50; ++i) {
                exact += GetGValue(text(bx * 50 + i % 50, by * 50 + i / 50));
                if (i < 20 * 20) shown += GetGValue(pixels.at(bx * 20 + i % 20, by * 20 + i / 20));
            }
            if (std::abs(shown / 400.0 - exact / 2500.0) > 1.0) return false;
        }
        return true;
    }));
}

TEST_F(Client, TheFrameFollowsThePictureInFixedAspectAndActualSizeButNotInFitToWindow) {
    Start("[TelvoClient]\r\nBasePort=48600\r\n");
    ASSERT_TRUE(test::SizeClientArea(frame, view, 800, 700));
    auto settlesAt = [&](LONG width, LONG height) {
        return WaitUntil([&] { return ClientRect(view) == RECT{0, 0, width, height}; });
    };
    ASSERT_TRUE(ShowOn(48600, test::MakeDesktopPicture(1024, 768, 1)));
    EXPECT_TRUE(settlesAt(798, 600));
    // Pictures of extreme shapes: the frame rests; another picture leaves it where it is.
    for (const SIZE shape : {SIZE{1, 1000}, SIZE{4000, 1}, SIZE{640, 480}}) {
        ++number;
        ASSERT_TRUE(ShowOn(48600, Plain(shape.cx, shape.cy, RGB(0, 90, 200))));
        const RECT rested = WindowRect(frame);
        ++number;
        ASSERT_TRUE(ShowOn(48600, Plain(shape.cx, shape.cy, RGB(200, 90, 0))));
        EXPECT_TRUE(rested == WindowRect(frame)) << shape.cx << " x " << shape.cy;
    }

    // Actual size: shrunk to the picture, and it cannot be made larger.
    Command(ID_VIEW_FIT_TO_WINDOW);
    ASSERT_TRUE(test::SizeClientArea(frame, view, 700, 500));
    Command(ID_VIEW_ACTUAL_SIZE);
    EXPECT_TRUE(settlesAt(640, 480));
    ++number;
    ASSERT_TRUE(ShowOn(48600, test::MakeDesktopPicture(320, 240, 4)));
    EXPECT_TRUE(settlesAt(320, 240));
    EXPECT_FALSE(test::SizeClientArea(frame, view, 500, 400));

    // Fit to window: any size, kept when pictures arrive.
    Command(ID_VIEW_FIT_TO_WINDOW);
    ASSERT_TRUE(test::SizeClientArea(frame, view, 500, 400));
    ++number;
    ASSERT_TRUE(ShowOn(48600, test::MakeDesktopPicture(320, 240, 5)));
    EXPECT_TRUE(ClientRect(view) == (RECT{0, 0, 500, 400}));
}

TEST_F(Client, FullScreenCoversTheScreenAndF11BringsBackPlacementMenuAndCaption) {
    Start("[TelvoClient]\r\nBasePort=48700\r\n");
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    auto edges = [&] { return GetWindowLongW(frame, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME); };
    // Fit to window: the frame never resizes itself, so its placement is the user's alone
    // (fixed aspect has no maximize box either).
    Command(ID_VIEW_FIT_TO_WINDOW);
    for (const bool maximized : {false, true}) {
        if (maximized) PostMessageW(frame, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        // The frame at rest: as created, or maximized over the work area (the style comes before
        // the move).
        ++number;
        ASSERT_TRUE(ShowOn(48700, test::MakeDesktopPicture(640, 480, 1)));
        ASSERT_TRUE(WaitUntil([&] {
            const RECT at = WindowRect(frame);
            return !maximized || (IsZoomed(frame) && at.left <= work.left && at.top <= work.top &&
                                  at.right >= work.right && at.bottom >= work.bottom);
        }));
        const RECT windowed = WindowRect(frame);
        test::TypeKey(frame, VK_F11);
        ASSERT_TRUE(WaitUntil([&] { return WindowRect(frame) == screen; })) << maximized;
        EXPECT_EQ(0, edges());
        EXPECT_EQ(nullptr, GetMenu(frame));
        ++number;  // new pictures are shown, the frame keeps the screen's size
        ASSERT_TRUE(ShowOn(48700, test::MakeDesktopPicture(320, 100, 2)));
        EXPECT_TRUE(WindowRect(frame) == screen);

        test::TypeKey(frame, VK_F11);
        EXPECT_TRUE(WaitUntil([&] { return WindowRect(frame) == windowed; })) << maximized;
        EXPECT_EQ(WS_CAPTION | WS_THICKFRAME, edges());
        EXPECT_EQ(0, GetWindowLongW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_NE(nullptr, GetMenu(frame));
        EXPECT_EQ(maximized, IsZoomed(frame) != 0);
    }
}

TEST_F(Client, ThePanelSwitchesChannelsSavesGoesFullScreenAndTakesTheFramesKeys) {
    const std::wstring shots = folder + L"\\shots";
    ASSERT_TRUE(CreateDirectoryW(shots.c_str(), nullptr));
    Start("[TelvoClient]\r\nBasePort=48800\r\nSaveDir=" + std::string(shots.begin(), shots.end()) +
          "\r\n");
    const HWND panel = test::WaitForWindow(program.id(), L"#32770", L"操作ﾊﾟﾈﾙ", kWaitMs);
    ASSERT_NE(nullptr, panel);
    EXPECT_FALSE(IsWindowVisible(panel));
    EXPECT_EQ(frame, GetWindow(panel, GW_OWNER));
    auto item = [&](int id) { return GetDlgItem(panel, id); };
    auto pressed = [&](int id) { return SendMessageW(item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    auto click = [&](int id) { PostMessageW(item(id), BM_CLICK, 0, 0); };
    auto atCorner = [&] {
        POINT corner{0, 0};
        ClientToScreen(frame, &corner);
        const RECT at = WindowRect(panel);
        return IsWindowVisible(panel) && at.left == corner.x && at.top == corner.y;
    };
    Command(ID_SAVE);  // F5 and F6 without a picture, not through the menu that disables them
    Command(ID_MEMO);
    Command(ID_CONTROL_PANEL);
    ASSERT_TRUE(WaitUntil(atCorner));
    // The commands posted before were handled first: a box of theirs would be there by now.
    EXPECT_EQ(nullptr, test::WaitForWindow(program.id(), L"#32770", L"現在の画面を保存", 0));
    EXPECT_EQ(nullptr, test::WaitForWindow(program.id(), L"#32770", L"ﾒﾓを取る", 0));
    SetWindowPos(panel, nullptr, 300, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Command(ID_CONTROL_PANEL);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(panel); }));
    Command(ID_CONTROL_PANEL);
    EXPECT_TRUE(WaitUntil(atCorner));  // back at the corner, wherever it was moved
    EXPECT_TRUE(pressed(IDC_CHANNEL1));
    EXPECT_FALSE(IsWindowEnabled(item(IDC_SAVE)) || IsWindowEnabled(item(IDC_MEMO)));

    click(IDC_CHANNEL3);
    ASSERT_TRUE(CaptionBecomes(Title(3, 0)));
    EXPECT_TRUE(WaitUntil([&] { return pressed(IDC_CHANNEL3) && !pressed(IDC_CHANNEL1); }));
    ASSERT_TRUE(ShowOn(48802, test::MakeDesktopPicture(320, 240, 1)));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(item(IDC_SAVE)) != 0; }));
    EXPECT_TRUE(IsWindowEnabled(item(IDC_MEMO)));
    click(IDC_SAVE);
    ASSERT_NE(nullptr, Dialog(L"現在の画面を保存"));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(panel); }));  // no command under a box
    EXPECT_NE(npos, AnswerMessage(L"現在の画面を保存").find(L"」に保存しました。"));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(panel) != 0; }));

    // Full screen from the panel: the panel stays above the full-screen frame and works.
    click(IDC_FULL_SCREEN);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    ASSERT_TRUE(WaitUntil([&] { return WindowRect(frame) == screen; }));
    EXPECT_TRUE(pressed(IDC_FULL_SCREEN));
    const RECT at = WindowRect(panel);
    const HWND top = WindowFromPoint({(at.left + at.right) / 2, (at.top + at.bottom) / 2});
    EXPECT_TRUE(top == panel || GetParent(top) == panel);
    click(IDC_FULL_SCREEN);
    EXPECT_TRUE(
        WaitUntil([&] { return !(WindowRect(frame) == screen) && !pressed(IDC_FULL_SCREEN); }));

    // With the panel in front and focused, Alt+1 and Alt+3 switch channels; Alt+F4 ends it.
    SetForegroundWindow(panel);
    auto panelHasFocus = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(panel, nullptr), &info) &&
               (info.hwndFocus == panel || GetParent(info.hwndFocus) == panel);
    };
    ASSERT_TRUE(WaitUntil(panelHasFocus));
    test::TypeKey(panel, '1', true);
    ASSERT_TRUE(CaptionBecomes(Title(1, 0)));
    test::TypeKey(panel, '3', true);
    ASSERT_TRUE(CaptionBecomes(Title(3, 0)));
    EXPECT_TRUE(WaitUntil([&] { return pressed(IDC_CHANNEL3); }));
    EXPECT_TRUE(panelHasFocus());
    test::TypeKey(panel, VK_F4, true);
    DWORD code = 1;
    ASSERT_TRUE(program.WaitExit(kWaitMs, &code));
    EXPECT_EQ(0u, code);
}

}  // namespace
}  // namespace telvo
