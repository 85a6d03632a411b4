// TelvoClient.exe itself under Wine, started in a fresh folder and watched as a user would: its
// settings file, its caption, the pixels it paints, and how it ends. Pictures come from a test
// sender over multicast loopback (the tests run in a private network namespace).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/Socket.h"
#include "protocol/ScreenPacket.h"
#include "tests/NetworkTest.h"
#include "tests/TestPicture.h"
#include "tests/viewer/ViewerTestSupport_win.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

using test::WaitUntil;

constexpr wchar_t kDefaults[] =
    L"\xFEFF[TelvoClient]\r\nChannel=1\r\nToAddress=224.3.2.1\r\nBasePort=54321\r\nSaveDir=\r\n"
    L"SaveInterval=60\r\n";

class Client : public ::testing::Test {
  protected:
    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
        folder = test::MakeFreshFolder(L"client");
        executable = test::CopyInto(test::BuildPath(L"viewer\\TelvoClient.exe"), folder);
        ASSERT_FALSE(executable.empty());
    }

    void Start(const std::string& ini = "") {
        if (!ini.empty()) ASSERT_TRUE(test::WriteFileBytes(IniPath(), ini));
        ASSERT_TRUE(program.Start(executable, folder));
        frame = test::WaitForWindow(program.id(), L"CMainFrame", nullptr, 15000);
        ASSERT_NE(nullptr, frame);
        // The frame exists from the start of its creation; the program has started once it shows.
        ASSERT_TRUE(
            WaitUntil([&] { return IsWindowVisible(frame) != 0; }, std::chrono::seconds(15)));
        view = FindWindowExW(frame, nullptr, L"CScreenView", nullptr);
        ASSERT_NE(nullptr, view);
    }

    std::wstring IniPath() const { return folder + L"\\TelvoClient.ini"; }
    std::wstring Ini() const { return test::ReadFileText(IniPath()); }
    std::wstring Caption() const { return test::WindowText(frame); }
    bool CaptionBecomes(const std::wstring& caption) {
        return WaitUntil([&] { return Caption() == caption; });
    }
    static std::wstring Title(int channel, std::uint32_t number) {
        return L"TelvoClient - Channel " + std::to_wstring(channel) + L" [No." +
               std::to_wstring(number) + L"]";
    }
    // Sends pictures to `port` until the caption shows one of them; true when it did.
    bool ShowOn(std::uint16_t port, int channel, const std::vector<std::uint8_t>& picture) {
        return test::SendUntilShown(port, picture, &number,
                                    [&] { return Caption() == Title(channel, number); });
    }
    void Command(int id) { PostMessageW(frame, WM_COMMAND, id, 0); }

    std::wstring folder;
    std::wstring executable;
    test::Program program;
    HWND frame = nullptr;
    HWND view = nullptr;
    std::uint32_t number = 5;
};

TEST_F(Client, FirstStartWritesDefaultsShowsPictureNumbersAndSwitchesChannels) {
    Start();
    EXPECT_EQ(kDefaults, Ini());  // written by the start-up itself
    EXPECT_EQ(Title(1, 0), Caption());
    const auto picture = test::MakeDesktopPicture(320, 240, 1);
    ASSERT_TRUE(ShowOn(54321, 1, picture));
    ++number;
    ASSERT_TRUE(ShowOn(54321, 1, picture));

    test::TypeAltKey(frame, '3');
    ASSERT_TRUE(CaptionBecomes(Title(3, 0)));
    EXPECT_NE(std::wstring::npos, Ini().find(L"\r\nChannel=3\r\n"));
    // Channel 1's port is left: its picture 1000 never shows, channel 3's next one does.
    ASSERT_TRUE(test::SendDatagrams(54321, test::Packetize(picture, 1000, false)));
    ++number;
    ASSERT_TRUE(ShowOn(54323, 3, picture));
}

TEST_F(Client, BadStoredValuesAreUsedAsTheyStandUntilAChannelIsChosen) {
    Start("[TelvoClient]\r\nChannel=7\r\nBasePort=70000\r\nSaveDir=" + std::string(2000, 'd') +
          "\r\n");
    EXPECT_EQ(Title(7, 0), Caption());
    const std::wstring ini = Ini();
    EXPECT_NE(std::wstring::npos, ini.find(L"\r\nBasePort=4464\r\n"));
    EXPECT_NE(std::wstring::npos, ini.find(L"\r\nChannel=7\r\n"));
    EXPECT_NE(std::wstring::npos, ini.find(L"\r\nSaveDir=" + std::wstring(1023, L'd') + L"\r\n"));
    // No channel is received: a picture on channel 1's port leaves the caption alone.
    ASSERT_TRUE(
        test::SendDatagrams(4464, test::Packetize(test::MakeDesktopPicture(64, 48, 1), 9, false)));

    Command(ID_CHANNEL2);  // Alt+2
    ASSERT_TRUE(CaptionBecomes(Title(2, 0)));
    EXPECT_NE(std::wstring::npos, Ini().find(L"\r\nChannel=2\r\n"));
    EXPECT_TRUE(ShowOn(4465, 2, test::MakeDesktopPicture(64, 48, 2)));
}

bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 2 &&
           std::abs(GetGValue(a) - GetGValue(b)) <= 2 && std::abs(GetBValue(a) - GetBValue(b)) <= 2;
}

TEST_F(Client, EachViewModePaintsItsRectangleReducedTextKeepsItsLightAndActualSizePans) {
    Start("[TelvoClient]\r\nBasePort=48300\r\n");
    ASSERT_TRUE(test::SizeClientArea(frame, view, 400, 300));
    const COLORREF red = RGB(200, 30, 60);
    ASSERT_TRUE(ShowOn(48300, 1, test::MakePicture(200, 100, [&](int, int) { return red; })));

    // Each check: pixels inside the rectangle show the picture, the ones just outside do not.
    auto paints = [&](int right, int bottom) {
        return WaitUntil([&] {
            const test::ScreenPixels pixels(view);
            const bool inside =
                Near(red, pixels.at(0, 0)) && Near(red, pixels.at(right - 1, bottom - 1));
            const bool outside = (right >= 400 || !Near(red, pixels.at(right, 0))) &&
                                 (bottom >= 300 || !Near(red, pixels.at(0, bottom)));
            return inside && outside;
        });
    };
    EXPECT_TRUE(paints(400, 200));  // fixed aspect: P = 200 >= Q = 133, full width
    Command(ID_VIEW_ACTUAL_SIZE);
    EXPECT_TRUE(paints(200, 100));  // actual size
    Command(ID_VIEW_FIT_TO_WINDOW);
    ASSERT_TRUE(test::SizeClientArea(frame, view, 400, 300));  // actual size had shrunk it
    EXPECT_TRUE(paints(400, 300));                             // fit to window

    // Light "text" on a dark background, reduced 2.5 times: every 20 x 20 block of the view keeps
    // the mean brightness of the 50 x 50 block of the picture it shows (dropping pixels by AND
    // would leave it nearly black).
    auto text = [](int x, int y) {
        const bool stroke = y % 16 < 12 && (x % 6 == 0 || (y % 16 % 5 == 0 && x % 6 < 4));
        return stroke ? RGB(230, 230, 230) : RGB(30, 30, 30);
    };
    ++number;
    ASSERT_TRUE(ShowOn(48300, 1, test::MakePicture(1000, 750, text)));
    auto blockMean = [](int size, auto pixel) {
        int sum = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) sum += GetGValue(pixel(x, y));
        }
        return static_cast<double>(sum) / (size * size);
    };
    auto keepsText = [&] {
        const test::ScreenPixels pixels(view);
        for (int block = 0; block < 20 * 15; ++block) {
            const int bx = block % 20;
            const int by = block / 20;
            const double shown =
                blockMean(20, [&](int x, int y) { return pixels.at(bx * 20 + x, by * 20 + y); });
            const double exact =
                blockMean(50, [&](int x, int y) { return text(bx * 50 + x, by * 50 + y); });
            if (std::abs(shown - exact) > 1.0) return false;
        }
        return true;
    };
    EXPECT_TRUE(WaitUntil(keepsText));

    // Actual size with a larger picture whose pixels tell where they come from.
    auto where = [](int x, int y) { return RGB(x / 4, y / 4, (x + y) % 256); };
    Command(ID_VIEW_ACTUAL_SIZE);
    ++number;
    ASSERT_TRUE(ShowOn(48300, 1, test::MakePicture(800, 600, where)));
    auto shows = [&](int x, int y, int pictureX, int pictureY) {
        return WaitUntil(
            [&] { return test::ScreenPixels(view).at(x, y) == where(pictureX, pictureY); });
    };
    EXPECT_TRUE(shows(0, 0, 0, 0));
    PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 150));
    PostMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(100, 50));
    PostMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(100, 50));
    EXPECT_TRUE(shows(0, 0, 100, 100));
    PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 150));
    PostMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-2000, -2000));
    PostMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(-2000, -2000));
    EXPECT_TRUE(
        shows(399, 299, 799, 599));  // stopped where the picture's corner meets the window's
}

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

bool operator==(const SIZE& a, const SIZE& b) {
    return a.cx == b.cx && a.cy == b.cy;
}
bool operator==(const RECT& a, const RECT& b) {
    return EqualRect(&a, &b) != 0;
}

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::vector<std::uint8_t> Shaped(SIZE shape, COLORREF colour) {
    return test::MakePicture(static_cast<std::uint32_t>(shape.cx),
                             static_cast<std::uint32_t>(shape.cy),
                             [&](int, int) { return colour; });
}

TEST_F(Client, TheFrameFollowsThePictureInFixedAspectAndActualSizeButNotInFitToWindow) {
    Start("[TelvoClient]\r\nBasePort=48600\r\n");
    ASSERT_TRUE(test::SizeClientArea(frame, view, 800, 700));
    const RECT start = WindowRect(frame);
    auto settlesAt = [&](SIZE size) {
        return WaitUntil([&] { return ClientSize(view) == size; }, std::chrono::seconds(3));
    };
    ASSERT_TRUE(ShowOn(48600, 1, test::MakeDesktopPicture(1024, 768, 1)));
    EXPECT_TRUE(settlesAt({798, 600})) << ClientSize(view).cx << " x " << ClientSize(view).cy;
    EXPECT_EQ(start.left, WindowRect(frame).left);  // the top-left corner stays
    EXPECT_EQ(start.top, WindowRect(frame).top);

    // Pictures of extreme shapes: the frame rests; another picture leaves it where it is.
    for (const SIZE shape : {SIZE{1, 1000}, SIZE{4000, 1}, SIZE{640, 480}}) {
        ++number;
        ASSERT_TRUE(ShowOn(48600, 1, Shaped(shape, RGB(0, 90, 200))));
        const RECT rested = WindowRect(frame);
        ++number;
        ASSERT_TRUE(ShowOn(48600, 1, Shaped(shape, RGB(200, 90, 0))));
        EXPECT_TRUE(rested == WindowRect(frame)) << shape.cx << " x " << shape.cy;
    }

    // Actual size: shrunk to the picture, and it cannot be made larger.
    Command(ID_VIEW_FIT_TO_WINDOW);
    ASSERT_TRUE(test::SizeClientArea(frame, view, 700, 500));
    Command(ID_VIEW_ACTUAL_SIZE);
    EXPECT_TRUE(settlesAt({640, 480}));
    ++number;
    ASSERT_TRUE(ShowOn(48600, 1, test::MakeDesktopPicture(320, 240, 4)));
    EXPECT_TRUE(settlesAt({320, 240})) << ClientSize(view).cx << " x " << ClientSize(view).cy;
    EXPECT_FALSE(test::SizeClientArea(frame, view, 500, 400));
    EXPECT_TRUE(ClientSize(view) == (SIZE{320, 240}));
    EXPECT_TRUE(test::SizeClientArea(frame, view, 200, 100));  // smaller is allowed

    // Fit to window: any size, kept when pictures arrive, and maximizing works.
    Command(ID_VIEW_FIT_TO_WINDOW);
    ASSERT_TRUE(test::SizeClientArea(frame, view, 500, 400));
    ++number;
    ASSERT_TRUE(ShowOn(48600, 1, test::MakeDesktopPicture(320, 240, 5)));
    EXPECT_TRUE(ClientSize(view) == (SIZE{500, 400}));
    PostMessageW(frame, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_TRUE(WaitUntil([&] { return IsZoomed(frame) != 0; }));
}

TEST_F(Client, FullScreenCoversTheScreenAndF11BringsBackPlacementMenuAndCaption) {
    Start("[TelvoClient]\r\nBasePort=48700\r\n");
    ASSERT_TRUE(ShowOn(48700, 1, test::MakeDesktopPicture(640, 480, 1)));
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    auto style = [&] { return GetWindowLongW(frame, GWL_STYLE); };
    auto topmost = [&] { return (GetWindowLongW(frame, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    for (const bool maximized : {false, true}) {
        if (maximized) {
            Command(ID_VIEW_FIT_TO_WINDOW);  // fixed aspect has no maximize box
            PostMessageW(frame, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
            ASSERT_TRUE(WaitUntil([&] { return IsZoomed(frame) != 0; }));
        }
        WaitUntil([] { return false; }, std::chrono::milliseconds(300));  // let the layout rest
        const RECT windowed = WindowRect(frame);
        test::TypeKey(frame, VK_F11);
        ASSERT_TRUE(WaitUntil([&] { return WindowRect(frame) == screen; })) << maximized;
        EXPECT_EQ(0, style() & (WS_CAPTION | WS_THICKFRAME));
        EXPECT_EQ(nullptr, GetMenu(frame));
        ++number;  // new pictures are shown, the frame keeps the screen's size
        ASSERT_TRUE(ShowOn(48700, 1, test::MakeDesktopPicture(320, 100, 2)));
        EXPECT_TRUE(WindowRect(frame) == screen);

        test::TypeKey(frame, VK_F11);
        EXPECT_TRUE(WaitUntil([&] { return WindowRect(frame) == windowed; })) << maximized;
        EXPECT_EQ(WS_CAPTION | WS_THICKFRAME, style() & (WS_CAPTION | WS_THICKFRAME));
        EXPECT_FALSE(topmost());
        EXPECT_NE(nullptr, GetMenu(frame));
        EXPECT_EQ(maximized, IsZoomed(frame) != 0);
        ++number;
        ASSERT_TRUE(ShowOn(48700, 1, test::MakeDesktopPicture(640, 480, 3)));
    }
}

// The panel's button `id` reports itself checked.
bool Pressed(HWND panel, int id) {
    return SendMessageW(GetDlgItem(panel, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

TEST_F(Client, ThePanelSwitchesChannelsSavesGoesFullScreenAndTakesTheFramesKeys) {
    const std::wstring shots = folder + L"\\shots";
    ASSERT_TRUE(CreateDirectoryW(shots.c_str(), nullptr));
    const std::string shotsAnsi(shots.begin(), shots.end());
    Start("[TelvoClient]\r\nBasePort=48800\r\nSaveDir=" + shotsAnsi + "\r\n");
    const HWND panel = test::WaitForWindow(program.id(), L"#32770", L"操作ﾊﾟﾈﾙ", 5000);
    ASSERT_NE(nullptr, panel);
    EXPECT_FALSE(IsWindowVisible(panel));
    EXPECT_EQ(frame, GetWindow(panel, GW_OWNER));
    // Save and memo without a picture do nothing, whichever way they come (here without menu).
    Command(ID_SAVE);
    Command(ID_MEMO);
    auto atCorner = [&] {
        POINT corner{0, 0};
        ClientToScreen(frame, &corner);
        const RECT at = WindowRect(panel);
        return IsWindowVisible(panel) && at.left == corner.x && at.top == corner.y;
    };
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
    EXPECT_TRUE(Pressed(panel, IDC_CHANNEL1));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, IDC_SAVE)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel, IDC_MEMO)));

    PostMessageW(GetDlgItem(panel, IDC_CHANNEL3), BM_CLICK, 0, 0);
    ASSERT_TRUE(CaptionBecomes(Title(3, 0)));
    EXPECT_TRUE(
        WaitUntil([&] { return Pressed(panel, IDC_CHANNEL3) && !Pressed(panel, IDC_CHANNEL1); }));
    ASSERT_TRUE(ShowOn(48802, 3, test::MakeDesktopPicture(320, 240, 1)));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(GetDlgItem(panel, IDC_SAVE)) != 0; }));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(panel, IDC_MEMO)));
    PostMessageW(GetDlgItem(panel, IDC_SAVE), BM_CLICK, 0, 0);
    const HWND saved = test::WaitForDialog(program.id(), L"現在の画面を保存", 5000);
    ASSERT_NE(nullptr, saved);
    EXPECT_NE(std::wstring::npos, test::ItemText(saved, 0xFFFF).find(L"」に保存しました。"));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(panel); }));  // no command under a box
    PostMessageW(saved, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(test::WaitForWindowGone(saved, 5000));
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(panel) != 0; }));
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((shots + L"\\O_*.bmp").c_str(), &found);
    EXPECT_NE(INVALID_HANDLE_VALUE, search);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);

    // Full screen from the panel: the panel stays above the full-screen frame and works.
    PostMessageW(GetDlgItem(panel, IDC_FULL_SCREEN), BM_CLICK, 0, 0);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    ASSERT_TRUE(WaitUntil([&] { return WindowRect(frame) == screen; }));
    EXPECT_TRUE(Pressed(panel, IDC_FULL_SCREEN));
    const RECT at = WindowRect(panel);
    const HWND top = WindowFromPoint({(at.left + at.right) / 2, (at.top + at.bottom) / 2});
    EXPECT_TRUE(top == panel || GetParent(top) == panel);
    PostMessageW(GetDlgItem(panel, IDC_FULL_SCREEN), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil(
        [&] { return !(WindowRect(frame) == screen) && !Pressed(panel, IDC_FULL_SCREEN); }));

    // With the panel in front and focused, Alt+1 and Alt+3 switch channels and Alt+F4 ends the
    // viewer.
    SetForegroundWindow(panel);
    auto panelHasFocus = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(panel, nullptr), &info) &&
               (info.hwndFocus == panel || GetParent(info.hwndFocus) == panel);
    };
    ASSERT_TRUE(WaitUntil(panelHasFocus));
    test::TypeAltKey(panel, '1');
    ASSERT_TRUE(CaptionBecomes(Title(1, 0)));
    test::TypeAltKey(panel, '3');
    ASSERT_TRUE(CaptionBecomes(Title(3, 0)));
    EXPECT_TRUE(WaitUntil([&] { return Pressed(panel, IDC_CHANNEL3); }));
    EXPECT_TRUE(panelHasFocus());
    test::TypeAltKey(panel, VK_F4);
    DWORD code = 1;
    ASSERT_TRUE(program.WaitExit(10000, &code));
    EXPECT_EQ(0u, code);
}

// Datagrams that lie: a wrong length, a fragment outside its picture, a picture too large for
// any screen, and complete pictures whose bitmap headers claim more pixels than they hold.
std::vector<std::vector<std::uint8_t>> HostileDatagrams(std::uint32_t* number) {
    std::vector<std::vector<std::uint8_t>> hostile;
    const auto good = test::MakeDesktopPicture(64, 48, 7);
    auto patched = [&](std::size_t offset, std::uint32_t value) {
        auto picture = good;
        for (int i = 0; i < 4; ++i)
            picture[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return test::Packetize(picture, (*number)++, false)[0];
    };
    hostile.push_back(patched(18, 100000));      // width
    hostile.push_back(patched(22, 0));           // height
    hostile.push_back(patched(22, 0xFFFFFFD0));  // negative height
    hostile.push_back(patched(18, 0x80000000));  // negative width
    hostile.push_back(patched(10, 0xFFFFFF00));  // pixel offset past the end

    auto withHeader = [&](auto change) {
        auto datagram = test::Packetize(good, (*number)++, false)[0];
        ScreenPacketHeader header = test::HeaderOf(datagram);
        change(header);
        EncodeHeader(header, datagram.data());
        return datagram;
    };
    hostile.push_back(withHeader([](ScreenPacketHeader& h) { h.fragmentIndex = 0x10000; }));
    hostile.push_back(withHeader([](ScreenPacketHeader& h) { h.pictureSize = 0x7FFFFFFF; }));
    hostile.push_back(withHeader([](ScreenPacketHeader& h) { h.pictureSize = 10; }));
    auto wrongLength = test::Packetize(good, (*number)++, false)[0];
    wrongLength.pop_back();
    hostile.push_back(wrongLength);
    return hostile;
}

TEST_F(Client, HostileDatagramsAreDroppedAndReceptionGoesOn) {
    Start("[TelvoClient]\r\nBasePort=48400\r\n");
    const auto picture = test::MakeDesktopPicture(320, 240, 8);
    ASSERT_TRUE(ShowOn(48400, 1, picture));
    for (const int viewMode : {ID_VIEW_FIXED_ASPECT, ID_VIEW_ACTUAL_SIZE, ID_VIEW_FIT_TO_WINDOW}) {
        Command(viewMode);
        ++number;
        ASSERT_TRUE(test::SendDatagrams(48400, HostileDatagrams(&number)));
        ASSERT_TRUE(ShowOn(48400, 1, picture)) << viewMode;
        EXPECT_TRUE(program.running());
    }

    // A datagram that is no ScreenPacket is dropped: the next picture shows.
    ASSERT_TRUE(test::SendDatagrams(48400, {std::vector<std::uint8_t>{1}}));
    number += 100;
    EXPECT_TRUE(ShowOn(48400, 1, picture));
}

TEST_F(Client, AboutHelpAndTheThreeWaysOutLeaveTheSettingsAlone) {
    Start();
    Command(ID_APP_ABOUT);
    const HWND about =
        test::WaitForWindow(program.id(), L"#32770", L"TelvoClientのﾊﾞｰｼﾞｮﾝ情報", 5000);
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(frame, GetWindow(about, GW_OWNER));
    EXPECT_TRUE(WaitUntil([&] {  // the dialog exists before its controls do
        for (HWND child = GetWindow(about, GW_CHILD); child;
             child = GetWindow(child, GW_HWNDNEXT)) {
            if (test::WindowText(child) == L"TelvoClient Version 1.0") return true;
        }
        return false;
    }));
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(test::WaitForWindowGone(about, 5000));

    Command(ID_HELP_TOPICS);
    EXPECT_NE(nullptr,
              test::WaitForWindow(program.id(), L"TelvoHelpWindow", L"TelvoClient ﾍﾙﾌﾟ", 5000));

    // The File menu's item, the close box, and Alt+F4 typed on the keyboard.
    const std::string marker = "[TelvoClient]\r\nChannel=1\r\n; kept\r\n";
    for (int way = 0; way < 3; ++way) {
        if (way > 0) Start();
        ASSERT_TRUE(test::WriteFileBytes(IniPath(), marker));
        if (way == 0) PostMessageW(frame, WM_COMMAND, ID_APP_EXIT, 0);
        if (way == 1) PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (way == 2) test::TypeAltKey(frame, VK_F4);
        DWORD code = 1;
        ASSERT_TRUE(program.WaitExit(10000, &code)) << way;
        EXPECT_EQ(0u, code);
        EXPECT_EQ(std::wstring(marker.begin(), marker.end()), Ini()) << way;
    }
}

}  // namespace
}  // namespace telvo
