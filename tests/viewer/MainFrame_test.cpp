// The frame and view built into this test: menus and cursors cannot be read from another process
// under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/Socket.h"
#include "tests/win/ProgramDriver.h"
#include "viewer/app/MainFrame_win.h"
#include "viewer/app/ViewerApp_win.h"
#include "viewer/res/resource.h"

namespace telvo {
namespace {

// Resizes asked of window `watched` (WM_WINDOWPOSCHANGING with a size), seen by a hook.
HWND watched = nullptr;
int resizes = 0;
LRESULT CALLBACK CountResizes(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == watched && call->message == WM_WINDOWPOSCHANGING &&
        (reinterpret_cast<const WINDOWPOS*>(call->lParam)->flags & SWP_NOSIZE) == 0) {
        ++resizes;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
using UniqueHook = UniqueHandle<Win32Traits<HHOOK, UnhookWindowsHookEx>>;

class Frame : public ::testing::Test {
  protected:
    void SetUp() override {
        TELVO_REQUIRE_TEST_NETWORK();
        ASSERT_EQ(0, StartSockets(1, 1));
        TheApp().settings() = ViewerSettings{};
        TheApp().settings().iniPath = test::MakeFreshFolder(L"viewer-frame") + L"\\TelvoClient.ini";
        TheApp().settings().basePort = 48100;
        frame = std::make_unique<CMainFrame>(TheApp());
        ASSERT_TRUE(frame->Create());
        ShowWindow(frame->hwnd(), SW_SHOW);
        view = frame->view().hwnd();
    }
    void TearDown() override {
        if (frame && frame->hwnd() != nullptr) DestroyWindow(frame->hwnd());
    }

    // The item's state (MFS_*) as the user sees it when its menu opens.
    UINT State(UINT id) {
        const HMENU bar = GetMenu(frame->hwnd());
        for (int position = 0; position < GetMenuItemCount(bar); ++position) {
            const HMENU popup = GetSubMenu(bar, position);
            if (GetMenuState(popup, id, MF_BYCOMMAND) == static_cast<UINT>(-1)) continue;
            SendMessageW(frame->hwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
                         MAKELPARAM(position, FALSE));
            MENUITEMINFOW item{sizeof item, MIIM_STATE};
            GetMenuItemInfoW(popup, id, FALSE, &item);
            return item.fState;
        }
        ADD_FAILURE() << "no menu item " << id;
        return 0;
    }
    bool Enabled(UINT id) { return (State(id) & MFS_DISABLED) == 0; }
    // Ids of the items that carry a check, among `first` .. `last`.
    std::vector<UINT> Checked(UINT first, UINT last) {
        std::vector<UINT> ids;
        for (UINT id = first; id <= last; ++id) {
            if (State(id) & MFS_CHECKED) ids.push_back(id);
        }
        return ids;
    }
    void Command(int id) { SendMessageW(frame->hwnd(), WM_COMMAND, id, 0); }
    bool ShowPicture(std::uint16_t port, const std::vector<std::uint8_t>& picture) {
        return test::SendUntilShown(port, picture, &number, [&] {
            const std::wstring shown = L"[No." + std::to_wstring(number) + L"]";
            return test::PumpUntil(
                [&] { return test::WindowText(frame->hwnd()).find(shown) != std::wstring::npos; },
                std::chrono::milliseconds(50));
        });
    }

    std::uint32_t number = 1;
    std::unique_ptr<CMainFrame> frame;
    HWND view = nullptr;
};

TEST_F(Frame, MenuAndPanelFollowModeChannelAndPicture) {
    const HWND panel = frame->view().panel().hwnd();
    auto panelEnables = [&](int id) { return IsWindowEnabled(GetDlgItem(panel, id)) != 0; };
    EXPECT_FALSE(Enabled(ID_SAVE) || Enabled(ID_MEMO));
    Command(ID_VIEW_FIT_TO_WINDOW);
    EXPECT_EQ(std::vector<UINT>{ID_VIEW_FIT_TO_WINDOW},
              Checked(ID_VIEW_FIXED_ASPECT, ID_VIEW_FIT_TO_WINDOW));
    ASSERT_TRUE(ShowPicture(48100, test::MakeDesktopPicture(320, 240, 1)));
    EXPECT_TRUE(Enabled(ID_SAVE) && Enabled(ID_MEMO));
    Command(ID_CHANNEL3);  // Alt+3
    EXPECT_EQ(std::vector<UINT>{ID_CHANNEL3}, Checked(ID_CHANNEL1, ID_CHANNEL5));
    EXPECT_FALSE(Enabled(ID_SAVE) || Enabled(ID_MEMO));
    // A notice of the old channel's picture that arrives after the switch enables nothing.
    SendMessageW(view, kPictureArrived, 0, 0);
    EXPECT_FALSE(panelEnables(IDC_SAVE) || panelEnables(IDC_MEMO));
    ASSERT_TRUE(ShowPicture(48102, test::MakeDesktopPicture(320, 240, 2)));
    EXPECT_TRUE(panelEnables(IDC_SAVE) && panelEnables(IDC_MEMO));
    frame->SelectChannel(6);  // what a stored "Channel" of 7 does at start-up
    EXPECT_TRUE(Checked(ID_CHANNEL1, ID_CHANNEL5).empty());

    // Escape and Enter hide the panel; Enter keeps the pressed channel.
    for (const int key : {VK_ESCAPE, VK_RETURN}) {
        Command(ID_CONTROL_PANEL);
        EXPECT_TRUE(IsWindowVisible(panel) && (State(ID_CONTROL_PANEL) & MFS_CHECKED));
        SetFocus(GetDlgItem(panel, IDC_CHANNEL1));
        MSG message{panel, WM_KEYDOWN, static_cast<WPARAM>(key), 0, 0, {}};
        EXPECT_TRUE(frame->view().panel().PreTranslateMessage(&message));
        EXPECT_FALSE(IsWindowVisible(panel) || (State(ID_CONTROL_PANEL) & MFS_CHECKED)) << key;
    }
    EXPECT_EQ(-1, frame->view().panel().channelRadio);
    EnableWindow(frame->hwnd(), FALSE);  // as a modal box does: the panel follows the frame
    EXPECT_FALSE(IsWindowEnabled(panel));
    EnableWindow(frame->hwnd(), TRUE);
    EXPECT_TRUE(IsWindowEnabled(panel));
}

TEST_F(Frame, MinimizingOrMaximizingKeepsTheFrameADragPansAndAPaintFailureIsToldOnce) {
    // Every pixel of its own colour.
    auto unique = [](int x, int y) { return RGB(x % 256, y % 256, x / 256 * 16 + y / 256); };
    ASSERT_TRUE(ShowPicture(48100, test::MakePicture(1024, 768, unique)));
    const auto size = [](const RECT& r) { return std::pair(r.right - r.left, r.bottom - r.top); };
    RECT fitted{}, client{}, restored{};
    GetWindowRect(frame->hwnd(), &fitted);
    ShowWindow(frame->hwnd(), SW_MINIMIZE);
    WINDOWPLACEMENT placement{sizeof placement};
    GetWindowPlacement(frame->hwnd(), &placement);  // the size the restore will give
    EXPECT_EQ(size(fitted), size(placement.rcNormalPosition));
    EXPECT_TRUE(GetClientRect(view, &client) && client.right > 0);  // the view keeps its size
    ShowWindow(frame->hwnd(), SW_RESTORE);
    GetWindowRect(frame->hwnd(), &restored);
    EXPECT_EQ(size(fitted), size(restored));

    // A maximized frame stays as the system made it when actual size is chosen and pictures come:
    // the view asks for no other size (Wine would refuse one, Windows not).
    Command(ID_VIEW_FIT_TO_WINDOW);
    ShowWindow(frame->hwnd(), SW_MAXIMIZE);
    resizes = 0;
    watched = frame->hwnd();
    const UniqueHook hook(
        SetWindowsHookExW(WH_CALLWNDPROC, CountResizes, nullptr, GetCurrentThreadId()));
    Command(ID_VIEW_ACTUAL_SIZE);
    ASSERT_TRUE(ShowPicture(48100, test::MakePicture(320, 240, unique)));
    EXPECT_TRUE(hook && IsZoomed(frame->hwnd()) && resizes == 0) << resizes;
    ShowWindow(frame->hwnd(), SW_RESTORE);
    ASSERT_TRUE(ShowPicture(48100, test::MakePicture(1024, 768, unique)));

    // Actual size: a drag pans with the hand cursor until the picture's corner meets the view's.
    ASSERT_TRUE(test::SizeClientArea(frame->hwnd(), view, 600, 400));
    const HCURSOR before = GetCursor();
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
    EXPECT_EQ(LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_PAN_HAND)), GetCursor());
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 150));
    EXPECT_EQ(std::pair(-100, -50), frame->view().panOffset());
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-2000, -2000));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(-2000, -2000));
    EXPECT_TRUE(GetCursor() == before && GetCapture() == nullptr);
    EXPECT_TRUE(test::PumpUntil([&] {  // the picture's bottom-right part, to the pixel
        const test::ScreenPixels pixels(view);
        return pixels.at(0, 0) == unique(424, 368) && pixels.at(599, 399) == unique(1023, 767);
    }));

    // A paint that fails is told in one box, after the paint, without the picture held: pictures
    // still come while the box is open, and further failing paints open no other box.
    auto paint = [&] { RedrawWindow(view, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); };
    auto takePosted = [&](MSG* last) {
        int count = 0;
        while (PeekMessageW(last, view, kShowPaintError, kShowPaintError, PM_REMOVE)) ++count;
        return count;
    };
    frame->view().workBitmap().SimulateFailure(WorkBitmap::Result::kNoBitmap);
    for (int i = 0; i < 3; ++i) paint();
    MSG posted{};
    ASSERT_EQ(1, takePosted(&posted));

    bool picturesGoOn = false;
    std::uint32_t next = number + 1;
    std::thread user([&] {
        const HWND box = test::WaitForDialog(GetCurrentProcessId(), L"エラー", 15000);
        if (box == nullptr) return;
        picturesGoOn =
            test::SendUntilShown(48100, test::MakeDesktopPicture(320, 240, 5), &next, [&] {
                return test::WindowText(frame->hwnd())
                           .find(L"[No." + std::to_wstring(next) + L"]") != std::wstring::npos;
            });
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    DispatchMessageW(&posted);  // the box, until the user closes it
    user.join();
    EXPECT_TRUE(picturesGoOn);
    paint();
    EXPECT_EQ(0, takePosted(&posted));  // the same failure still
}

}  // namespace
}  // namespace telvo
